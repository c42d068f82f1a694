# Fuzz targets (tests/<folder>/*_fuzz.cpp) for the page protocol. libFuzzer
# needs clang, while the main build uses g++: the custom target `fuzz` makes a
# separate clang configuration in <build>/fuzz, builds the fuzzers there with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for a few
# seconds. It is not part of the default build; scripts/test.sh runs it.
file(GLOB ostrel_fuzz_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/*_fuzz.cpp)
# Watched only so that a seed folder added later is taken at the next build.
file(GLOB ostrel_fuzz_seed_folders CONFIGURE_DEPENDS LIST_DIRECTORIES true
     ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_seeds/*)
set(OSTREL_FUZZ_SECONDS 10 CACHE STRING "How long `fuzz` runs each fuzzer")

if(OSTREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "OSTREL_FUZZ needs clang")
  endif()
  set(ostrel_fuzz_targets)
  foreach(source ${ostrel_fuzz_sources})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    ostrel_warnings(${name})
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ostrel_core Threads::Threads ${CMAKE_DL_LIBS})
    list(APPEND ostrel_fuzz_targets ${name})
  endforeach()
  add_custom_target(fuzz_all DEPENDS ${ostrel_fuzz_targets})
elseif(ostrel_fuzz_sources)
  find_program(OSTREL_CLANG clang)
  find_program(OSTREL_CLANGXX clang++)
  if(NOT OSTREL_CLANG OR NOT OSTREL_CLANGXX)
    ostrel_missing_dependency("clang and clang++"
                              "the target `fuzz` is not defined and the page-message fuzzers do not run")
  else()
    set(fuzz_dir ${CMAKE_BINARY_DIR}/fuzz)
    set(run_commands)
    foreach(source ${ostrel_fuzz_sources})
      get_filename_component(name ${source} NAME_WE)
      # The committed seeds (tests/fuzz_seeds/<name>) first run alone, each
      # once, so that an input that once found something fails every run,
      # whatever the random part does; then they start the timed run, and
      # what it finds goes to the build's own corpus folder.
      set(seeds)
      set(seed_run)
      if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_seeds/${name})
        set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_seeds/${name})
        set(seed_run COMMAND ${fuzz_dir}/tests/${name} -runs=0 -artifact_prefix=${fuzz_dir}/
                     ${seeds})
      endif()
      list(APPEND run_commands
           ${seed_run}
           COMMAND ${CMAKE_COMMAND} -E make_directory ${fuzz_dir}/corpus/${name}
           COMMAND ${fuzz_dir}/tests/${name} -max_total_time=${OSTREL_FUZZ_SECONDS}
                   -artifact_prefix=${fuzz_dir}/ ${fuzz_dir}/corpus/${name} ${seeds})
    endforeach()
    add_custom_target(fuzz
      COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${fuzz_dir} -G ${CMAKE_GENERATOR}
              -DCMAKE_C_COMPILER=${OSTREL_CLANG} -DCMAKE_CXX_COMPILER=${OSTREL_CLANGXX}
              -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=address
              -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DOSTREL_FUZZ=ON
              -DOSTREL_BUILD_BENCH=OFF
      COMMAND ${CMAKE_COMMAND} --build ${fuzz_dir} --target fuzz_all
      ${run_commands}
      USES_TERMINAL
      COMMENT "Building the fuzzers with clang and running each for ${OSTREL_FUZZ_SECONDS} s")
  endif()
endif()
