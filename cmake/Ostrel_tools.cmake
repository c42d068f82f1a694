# Command-line tools: ostrel-render, a VST 3 host that renders audio files
# through the built bundle (loaded with dlopen, never linked), and
# ostrel-make-demo, which writes the demo tracks. Both read and write audio
# through libsndfile.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)

# The SDK's hosting helpers (message and attribute-list objects).
set(_sdk ${OSTREL_VST3_SDK})
add_library(vst3sdk_hosting STATIC
  ${_sdk}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${_sdk}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp)
target_link_libraries(vst3sdk_hosting PUBLIC vst3sdk)
target_compile_options(vst3sdk_hosting PRIVATE -w)

# The host side shared by the render tool and the end-to-end tests.
file(GLOB _host_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/render/host/*.cpp)
add_library(ostrel_vst3host STATIC ${_host_sources})
ostrel_warnings(ostrel_vst3host)
target_include_directories(ostrel_vst3host PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(ostrel_vst3host PUBLIC vst3sdk vst3sdk_hosting ${CMAKE_DL_LIBS})

file(GLOB _render_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/render/*.cpp)
if(_render_sources)
  add_executable(ostrel-render ${_render_sources})
  ostrel_warnings(ostrel-render)
  target_link_libraries(ostrel-render PRIVATE ostrel_vst3host PkgConfig::SNDFILE)
  # Without --plugin the tool renders through the bundle of this build.
  target_compile_definitions(ostrel-render PRIVATE
    OSTREL_DEFAULT_BUNDLE="${CMAKE_BINARY_DIR}/Ostrel.vst3")
  if(TARGET ostrel_bundle)
    add_dependencies(ostrel-render ostrel_bundle)
  endif()
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
