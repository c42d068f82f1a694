# Command-line tools: ostrel-render, a VST 3 host that renders audio files
# through the built bundle (loaded as a module, never linked), on Linux and
# Windows; on Linux also ostrel-make-demo, which writes the demo tracks, and
# ostrel-compare-audio, which compares two renders. On Linux audio files go
# through libsndfile, on Windows (no libsndfile for MinGW) through our own
# WAVE reader and writer.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
endif()

# Takes this platform's *_linux.cpp or *_windows.cpp out of the other's list.
macro(ostrel_tool_platform_filter list)
  if(WIN32)
    list(FILTER ${list} EXCLUDE REGEX "_linux\\.cpp$")
  else()
    list(FILTER ${list} EXCLUDE REGEX "_windows\\.cpp$")
  endif()
endmacro()

# The SDK's hosting helpers (message and attribute-list objects).
set(_sdk ${OSTREL_VST3_SDK})
add_library(vst3sdk_hosting STATIC
  ${_sdk}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${_sdk}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp)
target_link_libraries(vst3sdk_hosting PUBLIC vst3sdk)
target_compile_options(vst3sdk_hosting PRIVATE -w)

# The host side shared by the render tool and the end-to-end tests.
file(GLOB _host_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/render/host/*.cpp)
ostrel_tool_platform_filter(_host_sources)
add_library(ostrel_vst3host STATIC ${_host_sources})
ostrel_warnings(ostrel_vst3host)
target_include_directories(ostrel_vst3host PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(ostrel_vst3host PUBLIC vst3sdk vst3sdk_hosting ${CMAKE_DL_LIBS})
if(WIN32)
  target_link_libraries(ostrel_vst3host PUBLIC user32)
endif()

# The WAVE reader and writer: the Windows build's audio files, and tested
# against libsndfile's files on Linux.
add_library(ostrel_wave_codec STATIC ${CMAKE_SOURCE_DIR}/tools/render/wave_codec.cpp)
ostrel_warnings(ostrel_wave_codec)
target_include_directories(ostrel_wave_codec PUBLIC ${CMAKE_SOURCE_DIR})

# Reading and writing audio files (tools/render/wav_file.h).
file(GLOB _audio_file_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/render/wav_file*.cpp)
ostrel_tool_platform_filter(_audio_file_sources)
add_library(ostrel_audio_files STATIC ${_audio_file_sources})
ostrel_warnings(ostrel_audio_files)
target_include_directories(ostrel_audio_files PUBLIC ${CMAKE_SOURCE_DIR})
if(WIN32)
  target_link_libraries(ostrel_audio_files PUBLIC ostrel_wave_codec)
else()
  target_link_libraries(ostrel_audio_files PUBLIC PkgConfig::SNDFILE)
endif()

file(GLOB _render_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/render/*.cpp)
ostrel_tool_platform_filter(_render_sources)
list(FILTER _render_sources EXCLUDE REGEX "/(wav_file[^/]*|wave_codec)\\.cpp$")
if(_render_sources)
  add_executable(ostrel-render ${_render_sources})
  ostrel_warnings(ostrel-render)
  target_link_libraries(ostrel-render PRIVATE ostrel_vst3host ostrel_audio_files)
  if(WIN32)
    # Without --plugin the tool renders through the bundle beside it.
    target_link_libraries(ostrel-render PRIVATE shell32)
  else()
    # Without --plugin the tool renders through the bundle of this build.
    target_compile_definitions(ostrel-render PRIVATE
      OSTREL_DEFAULT_BUNDLE="${CMAKE_BINARY_DIR}/Ostrel.vst3")
  endif()
  if(TARGET ostrel_bundle)
    add_dependencies(ostrel-render ostrel_bundle)
  endif()
endif()

if(WIN32)
  return()
endif()

file(GLOB _compare_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/compare-audio/*.cpp)
if(_compare_sources)
  add_executable(ostrel-compare-audio ${_compare_sources})
  ostrel_warnings(ostrel-compare-audio)
  target_link_libraries(ostrel-compare-audio PRIVATE ostrel_audio_files)
endif()

file(GLOB _demo_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/make-demo/*.cpp)
if(_demo_sources)
  add_executable(ostrel-make-demo ${_demo_sources})
  ostrel_warnings(ostrel-make-demo)
  target_include_directories(ostrel-make-demo PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(ostrel-make-demo PRIVATE PkgConfig::SNDFILE)
endif()

# End-to-end test programs (tests/CMakeLists.txt calls this for test_vst3 and
# test_tools): they load the built bundle and run the built tools, found
# through compile definitions with their build paths.
function(ostrel_end_to_end_test target)
  if(NOT TARGET ${target})
    return()
  endif()
  target_link_libraries(${target} PRIVATE ostrel_vst3host PkgConfig::SNDFILE)
  target_compile_definitions(${target} PRIVATE
    OSTREL_TEST_BUNDLE="${CMAKE_BINARY_DIR}/Ostrel.vst3"
    OSTREL_TEST_RENDER="$<TARGET_FILE:ostrel-render>"
    OSTREL_TEST_MAKE_DEMO="$<TARGET_FILE:ostrel-make-demo>")
  foreach(dep ostrel_bundle ostrel-render ostrel-make-demo)
    if(TARGET ${dep})
      add_dependencies(${target} ${dep})
    endif()
  endforeach()
endfunction()
