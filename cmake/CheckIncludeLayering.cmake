# cmake -DSOURCE_DIR=<repository root> -P CheckIncludeLayering.cmake
#
# Checks every #include of the project's own folders against the "may
# include" column of the Layout table in README.md, so the table is the one
# place where the layering is written down. A row's first cell names its
# folders (`engine/`); the last cell lists the folders it may include besides
# its own (`link/`), "the VST 3 SDK" for the SDK's pluginterfaces/, base/
# and public.sdk/, "any" for no restriction, or nothing at all. Fails on:
# - an include of one of our folders, or of the SDK, that the row does not allow;
# - an include whose first folder is neither ours nor the SDK's;
# - a top-level folder with C++ sources that the table does not list.
# Includes without a folder ("biquad.h") name a file beside the includer.

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludeLayering: pass -DSOURCE_DIR=<repository root>")
endif()
set(readme ${SOURCE_DIR}/README.md)
if(NOT EXISTS ${readme})
  message(FATAL_ERROR "CheckIncludeLayering: ${readme} not found")
endif()

set(sdk_folders pluginterfaces base public.sdk)

# The Layout table: the rows between "## Layout" and the next heading.
file(STRINGS ${readme} readme_lines)
set(in_layout FALSE)
set(table_folders)
foreach(line IN LISTS readme_lines)
  if(line MATCHES "^## ")
    if(line MATCHES "^## Layout")
      set(in_layout TRUE)
    else()
      set(in_layout FALSE)
    endif()
    continue()
  endif()
  if(NOT in_layout OR NOT line MATCHES "^\\|(.*)\\|[ \t]*$")
    continue()
  endif()
  string(REPLACE "|" ";" cells "${CMAKE_MATCH_1}")
  list(LENGTH cells cell_count)
  if(cell_count LESS 3)
    message(FATAL_ERROR "CheckIncludeLayering: Layout row without a \"may include\" cell: ${line}")
  endif()
  list(GET cells 0 first)
  list(GET cells -1 last)
  if(NOT first MATCHES "`")
    continue() # the header row and its rule
  endif()
  string(REGEX MATCHALL "`[^`]+/`" row_folders "${first}")
  string(REGEX MATCHALL "`[^`]+/`" allowed "${last}")
  string(REPLACE "`" "" row_folders "${row_folders}")
  string(REPLACE "`" "" allowed "${allowed}")
  string(REGEX REPLACE "/(;|$)" "\\1" row_folders "${row_folders}")
  string(REGEX REPLACE "/(;|$)" "\\1" allowed "${allowed}")
  if(last MATCHES "VST 3 SDK")
    list(APPEND allowed ${sdk_folders})
  endif()
  set(any FALSE)
  if(last MATCHES "(^|[^a-z])any([^a-z]|$)")
    set(any TRUE)
  endif()
  foreach(folder IN LISTS row_folders)
    list(APPEND table_folders ${folder})
    set(allowed_${folder} ${allowed})
    set(any_${folder} ${any})
  endforeach()
endforeach()
if(NOT table_folders)
  message(FATAL_ERROR "CheckIncludeLayering: no Layout table in ${readme}")
endif()

# Our top-level folders are the table's, by their first path component
# (`Resources/web/` stands for Resources).
set(own_top_folders)
foreach(folder IN LISTS table_folders)
  string(REGEX REPLACE "/.*" "" top "${folder}")
  list(APPEND own_top_folders ${top})
endforeach()

set(violations)

# Every top-level folder with C++ sources must have a row (build trees,
# recognised by their CMakeCache.txt, and hidden folders are not ours).
file(GLOB top_entries RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(entry IN LISTS top_entries)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${entry} OR entry MATCHES "^\\."
     OR EXISTS ${SOURCE_DIR}/${entry}/CMakeCache.txt)
    continue()
  endif()
  list(FIND own_top_folders ${entry} known)
  if(known EQUAL -1)
    file(GLOB_RECURSE stray ${SOURCE_DIR}/${entry}/*.h ${SOURCE_DIR}/${entry}/*.cpp)
    if(stray)
      list(GET stray 0 first_stray)
      file(RELATIVE_PATH first_stray ${SOURCE_DIR} ${first_stray})
      list(APPEND violations
           "${first_stray}: ${entry}/ holds C++ sources but has no row in the README's Layout table")
    endif()
  endif()
endforeach()

set(file_count 0)
set(include_count 0)
foreach(folder IN LISTS table_folders)
  if(any_${folder})
    continue()
  endif()
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
    math(EXPR file_count "${file_count} + 1")
    file(STRINGS ${source} include_lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS include_lines)
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
        continue()
      endif()
      set(quoted FALSE)
      if(CMAKE_MATCH_1 STREQUAL "\"")
        set(quoted TRUE)
      endif()
      set(path "${CMAKE_MATCH_2}")
      if(NOT path MATCHES "^([^/]+)/")
        continue() # beside the includer, or a system header
      endif()
      set(target "${CMAKE_MATCH_1}")
      # Folders such as Resources/web/ are matched on their full path.
      set(target_folder "${target}")
      foreach(candidate IN LISTS table_folders)
        if(path MATCHES "^${candidate}/")
          set(target_folder "${candidate}")
        endif()
      endforeach()
      list(FIND own_top_folders ${target} ours)
      list(FIND sdk_folders ${target} sdk)
      if(ours EQUAL -1 AND sdk EQUAL -1)
        if(quoted)
          list(APPEND violations
               "${shown}: includes \"${path}\", which is in no folder of the Layout table")
        endif()
        continue() # <sys/types.h> and the like
      endif()
      math(EXPR include_count "${include_count} + 1")
      if(target_folder STREQUAL folder)
        continue()
      endif()
      list(FIND allowed_${folder} ${target_folder} permitted)
      if(permitted EQUAL -1)
        string(REPLACE ";" ", " shown_allowed "${allowed_${folder}}")
        if(shown_allowed STREQUAL "")
          set(shown_allowed "nothing outside itself")
        endif()
        list(APPEND violations
             "${shown}: includes \"${path}\", but ${folder}/ may include only: ${shown_allowed}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(LENGTH violations violation_count)
  string(REPLACE ";" "\n  " shown_violations "${violations}")
  message(FATAL_ERROR
    "${violation_count} fault(s) against the README's Layout table:\n  ${shown_violations}\n"
    "Fix the include, or change the table's \"may include\" column if the layering should change.")
endif()
message(STATUS "Include layering: ${include_count} includes of our folders and the SDK in "
               "${file_count} files agree with the README's Layout table")
