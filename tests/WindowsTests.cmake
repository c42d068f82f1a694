# The Windows cross-build's tests, run under Wine (the toolchain file makes
# wine the emulator of every test command): the portable unit tests that do
# not stand on Linux calls, and tests/windows/, which tests the Win32 seams
# and loads the built bundle like a host. One CTest test per program, so Wine
# starts once per program. scripts/test-windows.sh prepares the Wine prefix.
set(OSTREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the tests")

function(ostrel_wine_test name program)
  add_test(NAME ${name} COMMAND ${program} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    LABELS windows
    TIMEOUT 900
    ENVIRONMENT "WINEPREFIX=${OSTREL_WINEPREFIX};WINEDEBUG=-all;GTEST_COLOR=no")
endfunction()

# ostrel_windows_test(name LIBRARY lib FOLDERS dirs... [EXCLUDE files...]
#                     [FILTER gtest-filter])
function(ostrel_windows_test name)
  cmake_parse_arguments(ARG "" "LIBRARY;FILTER" "FOLDERS;EXCLUDE" ${ARGN})
  set(sources)
  foreach(folder ${ARG_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "_fuzz\\.cpp$")
  foreach(file ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
  endforeach()
  add_executable(${name} ${sources})
  ostrel_warnings(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARY} GTest::gtest GTest::gtest_main)
  if(ARG_FILTER)
    ostrel_wine_test(wine_${name} ${name} --gtest_filter=${ARG_FILTER})
  else()
    ostrel_wine_test(wine_${name} ${name})
  endif()
endfunction()

# std::barrier of MinGW's C++ library stalls under Wine; the race it drives
# is the ThreadSanitizer run's on Linux. The shared block's own test forks
# processes (POSIX); its Windows seam is built into the bundle.
ostrel_windows_test(test_link LIBRARY ostrel_link FOLDERS link
                    EXCLUDE link/slot_claim_concurrency_test.cpp link/shared_segment_test.cpp)
# The engine's tests are written for a process each (on Linux, CTest runs
# every test alone) and share the process-wide registry; here one Wine
# process runs them all, so the test that counts a channel's publications
# runs apart. The long sweeps over block sizes and rates are left to Linux:
# they test portable arithmetic, and take two minutes under Wine.
ostrel_windows_test(test_engine LIBRARY ostrel_engine FOLDERS engine
                    FILTER -EngineChunking.*:Setups/BlockSizeIndependence.*)
ostrel_wine_test(wine_test_engine_chunking test_engine --gtest_filter=EngineChunking.*)
ostrel_windows_test(test_editor_messages LIBRARY ostrel_editor_messages FOLDERS editor_messages
                    EXCLUDE editor_messages/web_link_test.cpp)
# The Timer's Linux thread and child processes are Linux seams.
ostrel_windows_test(test_framework LIBRARY ostrel_framework FOLDERS framework
                    EXCLUDE framework/timer_test.cpp framework/child_process_test.cpp)
# The storage tests stand on Linux folders and processes; tests/windows holds
# the Windows side of the same store.
ostrel_windows_test(test_windows LIBRARY ostrel_core FOLDERS windows)
# The render tool's host side on Windows (its run loop).
target_link_libraries(test_windows PRIVATE ostrel_vst3host)
# The render tool's audio files and WAVE codec (the end-to-end render test
# and the comparison with libsndfile stand on Linux; scripts/test-windows.sh
# compares whole renders of both builds).
ostrel_windows_test(test_tools LIBRARY ostrel_audio_files FOLDERS tools
                    EXCLUDE tools/render_test.cpp tools/wave_codec_sndfile_test.cpp)
# The bundle's module, from the folder of the test program.
file(RELATIVE_PATH _bundle_module ${CMAKE_CURRENT_BINARY_DIR}
     ${CMAKE_BINARY_DIR}/Ostrel.vst3/Contents/x86_64-win/Ostrel.vst3)
target_compile_definitions(test_windows PRIVATE OSTREL_TEST_BUNDLE_MODULE="${_bundle_module}")
add_dependencies(test_windows ostrel_bundle)
# The other process of the shared registry's two-process test, beside the
# test program.
add_executable(ostrel-segment-peer ${CMAKE_CURRENT_SOURCE_DIR}/windows/segment_peer/segment_peer_main.cpp)
ostrel_warnings(ostrel-segment-peer)
target_include_directories(ostrel-segment-peer PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(ostrel-segment-peer PRIVATE ostrel_link)
add_dependencies(test_windows ostrel-segment-peer)

# A stand-in for the WebView2 runtime's DLL, which the loader's tests put
# where a runtime would be.
add_library(webview2_runtime_stand_in MODULE
            ${CMAKE_CURRENT_SOURCE_DIR}/windows/runtime_stand_in/embedded_browser_stand_in.cpp)
ostrel_warnings(webview2_runtime_stand_in)
target_include_directories(webview2_runtime_stand_in PRIVATE ${CMAKE_SOURCE_DIR})
set_target_properties(webview2_runtime_stand_in PROPERTIES
  PREFIX "" OUTPUT_NAME EmbeddedBrowserWebView
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime_stand_in)
target_link_libraries(webview2_runtime_stand_in PRIVATE ole32)
add_dependencies(test_windows webview2_runtime_stand_in)
