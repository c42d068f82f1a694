# ostrel-webview, the editor page's browser process (GTK 3 and WebKitGTK 4.1
# on X11). Without them the plug-in and its tests still build (the editor
# area then stays empty) unless CI=true; the bundle takes the helper beside
# the module when the target exists.
if(WIN32)
  return()
endif()
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(OSTREL_WEBKIT QUIET IMPORTED_TARGET webkit2gtk-4.1 gtk+-3.0 x11)
endif()
if(NOT OSTREL_WEBKIT_FOUND)
  ostrel_missing_dependency("pkg-config with webkit2gtk-4.1, gtk+-3.0 and x11"
                            "the web view helper ostrel-webview is not built and the editor page cannot show")
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
