# What the Windows cross-build needs from the build machine: the header-only
# JSON library (offered in a folder of its own, so that no Linux header can
# stand in for a Windows one) and GoogleTest built from Debian's sources with
# the MinGW compiler.
find_path(OSTREL_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH)
if(NOT OSTREL_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found; run scripts/install-deps.sh")
endif()
set(_json_dir ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_json_dir})
file(CREATE_LINK ${OSTREL_JSON_INCLUDE}/nlohmann ${_json_dir}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${_json_dir})

if(OSTREL_BUILD_TESTS)
  set(OSTREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian: googletest)")
  if(NOT EXISTS ${OSTREL_GTEST_SOURCE}/googletest/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found at ${OSTREL_GTEST_SOURCE}; run scripts/install-deps.sh")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${OSTREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# The Windows libraries each subsystem's *_windows.cpp files call (all of
# them Windows' own DLLs). Called once the subsystem libraries exist.
function(ostrel_windows_system_libraries)
  target_link_libraries(ostrel_storage PUBLIC shell32 advapi32)
  target_link_libraries(ostrel_framework PUBLIC user32)
  target_link_libraries(ostrel_editor_messages PUBLIC shell32 wininet)
  target_link_libraries(ostrel_vst3 PUBLIC user32)
  target_link_libraries(ostrel_webview PUBLIC ole32 user32 gdi32 advapi32 shell32)
endfunction()
