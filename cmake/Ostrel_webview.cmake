# ostrel-webview, the editor page's browser process (GTK 3 and WebKitGTK 4.1
# on X11). Built only where pkg-config finds both, so that the plug-in and
# its tests build without them; the bundle takes the helper beside the
# module when the target exists.
if(WIN32)
  return()
endif()
find_package(PkgConfig QUIET)
if(NOT PKG_CONFIG_FOUND)
  return()
endif()
pkg_check_modules(OSTREL_WEBKIT QUIET IMPORTED_TARGET webkit2gtk-4.1 gtk+-3.0 x11)
if(NOT OSTREL_WEBKIT_FOUND)
  message(STATUS "ostrel-webview: webkit2gtk-4.1 or gtk+-3.0 not found, editor helper not built")
  return()
endif()

file(GLOB _helper_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/webview/helper/*.cpp)
add_executable(ostrel-webview ${_helper_sources}
               ${CMAKE_SOURCE_DIR}/webview/frame_codec.cpp
               ${CMAKE_SOURCE_DIR}/webview/helper_protocol.cpp
               ${CMAKE_SOURCE_DIR}/webview/page_address.cpp)
ostrel_warnings(ostrel-webview)
target_include_directories(ostrel-webview PRIVATE ${CMAKE_SOURCE_DIR})
# The toolkit's headers are system headers: our warnings do not apply there.
get_target_property(_webkit_includes PkgConfig::OSTREL_WEBKIT INTERFACE_INCLUDE_DIRECTORIES)
target_include_directories(ostrel-webview SYSTEM PRIVATE ${_webkit_includes})
target_link_libraries(ostrel-webview PRIVATE PkgConfig::OSTREL_WEBKIT)
