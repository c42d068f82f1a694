# The plug-in bundle: Ostrel.vst3/Contents/x86_64-linux/Ostrel.so (Linux) or
# Ostrel.vst3/Contents/x86_64-win/Ostrel.vst3 (Windows) with the editor page
# in Ostrel.vst3/Contents/Resources/web/, the layout hosts load from ~/.vst3
# and "Common Files\VST3". Only the module's entry points are exported.
file(GLOB _entry_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/plugin/module_entry*.cpp)
if(WIN32)
  list(FILTER _entry_sources EXCLUDE REGEX "_linux\\.cpp$")
else()
  list(FILTER _entry_sources EXCLUDE REGEX "_windows\\.cpp$")
endif()
if(NOT _entry_sources)
  ostrel_missing_dependency("The module's entry points for this platform (plugin/module_entry*.cpp)"
                            "no plug-in bundle is built and its end-to-end tests cannot run")
  return()
endif()

set(OSTREL_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Ostrel.vst3)
if(WIN32)
  set(OSTREL_BUNDLE_ARCH_DIR ${OSTREL_BUNDLE_DIR}/Contents/x86_64-win)
  set(_module_suffix ".vst3")
else()
  set(OSTREL_BUNDLE_ARCH_DIR ${OSTREL_BUNDLE_DIR}/Contents/x86_64-linux)
  set(_module_suffix ".so")
endif()

# Our code and the SDK keep their symbols to themselves inside the module,
# so two plug-ins built on the same SDK never bind to each other's copies.
foreach(lib ${OSTREL_SUBSYSTEM_LIBRARIES} vst3sdk)
  get_target_property(_type ${lib} TYPE)
  if(NOT _type STREQUAL "INTERFACE_LIBRARY")
    set_target_properties(${lib} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                            VISIBILITY_INLINES_HIDDEN ON)
  endif()
endforeach()

add_library(ostrel_bundle MODULE ${_entry_sources})
ostrel_warnings(ostrel_bundle)
target_link_libraries(ostrel_bundle PRIVATE ostrel_core)
set_target_properties(ostrel_bundle PROPERTIES
  PREFIX ""
  OUTPUT_NAME Ostrel
  SUFFIX ${_module_suffix}
  LIBRARY_OUTPUT_DIRECTORY ${OSTREL_BUNDLE_ARCH_DIR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
if(WIN32)
  # Only what SMTG_EXPORT_SYMBOL marks is exported (GetPluginFactory, InitDll,
  # ExitDll). A release module carries no symbol table.
  target_link_options(ostrel_bundle PRIVATE -Wl,--no-undefined $<$<CONFIG:Release>:-s>)
else()
  set_target_properties(ostrel_bundle PROPERTIES
    LINK_DEPENDS ${CMAKE_SOURCE_DIR}/vst3/module_exports.map)
  target_link_options(ostrel_bundle PRIVATE
    -Wl,--version-script=${CMAKE_SOURCE_DIR}/vst3/module_exports.map
    -Wl,--no-undefined
    -Wl,-z,defs)
endif()

# The editor page beside the module, copied on every build (the page may
# change without the module being relinked).
add_custom_target(ostrel_bundle_web ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${OSTREL_BUNDLE_DIR}/Contents/Resources/web
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/Resources/web
          ${OSTREL_BUNDLE_DIR}/Contents/Resources/web
  VERBATIM)
add_dependencies(ostrel_bundle ostrel_bundle_web)

# `cmake --install <build>` puts the bundle in ~/.vst3 (staged under
# $DESTDIR when that is set, as usual).
if(WIN32)
  set(_vst3_folder "C:/Program Files/Common Files/VST3")
else()
  set(_vst3_folder "$ENV{HOME}/.vst3")
endif()
set(OSTREL_VST3_INSTALL_DIR "${_vst3_folder}" CACHE PATH "Where the install target puts Ostrel.vst3")
install(DIRECTORY ${OSTREL_BUNDLE_DIR} DESTINATION ${OSTREL_VST3_INSTALL_DIR}
        USE_SOURCE_PERMISSIONS)

# The editor's web view helper runs beside the module (it finds the page from
# there); whichever file defines it, it is built into the bundle.
function(ostrel_bundle_take_helper)
  if(TARGET ostrel-webview)
    set_target_properties(ostrel-webview PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                    ${OSTREL_BUNDLE_ARCH_DIR})
    add_dependencies(ostrel_bundle ostrel-webview)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL ostrel_bundle_take_helper)

# Windows: a zip of the bundle with a short install note, packed again at
# every build (the page may change without the module being relinked).
if(WIN32)
  set(_zip_name Ostrel-${PROJECT_VERSION}-windows-x64.zip)
  set(_zip_stage ${CMAKE_BINARY_DIR}/zip-stage)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/windows_install_note.txt ${_zip_stage}/INSTALL.txt
                 @ONLY NEWLINE_STYLE CRLF)
  add_custom_target(ostrel_windows_zip ALL
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_zip_stage}/Ostrel.vst3 ${CMAKE_BINARY_DIR}/${_zip_name}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${OSTREL_BUNDLE_DIR} ${_zip_stage}/Ostrel.vst3
    COMMAND ${CMAKE_COMMAND} -E chdir ${_zip_stage} ${CMAKE_COMMAND} -E tar cf
            ${CMAKE_BINARY_DIR}/${_zip_name} --format=zip Ostrel.vst3 INSTALL.txt
    COMMENT "Packing ${_zip_name}"
    VERBATIM)
  add_dependencies(ostrel_windows_zip ostrel_bundle)

  # The installer beside it (NSIS, Debian's nsis package), made afresh with
  # the zip.
  find_program(OSTREL_MAKENSIS makensis)
  if(OSTREL_MAKENSIS)
    set(_setup_name Ostrel-${PROJECT_VERSION}-windows-x64-setup.exe)
    add_custom_target(ostrel_windows_installer ALL
      COMMAND ${OSTREL_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION}
              -DBUNDLE=${OSTREL_BUNDLE_DIR} -DLICENSE=${CMAKE_SOURCE_DIR}/LICENSE
              -DOUTFILE=${CMAKE_BINARY_DIR}/${_setup_name}
              ${CMAKE_SOURCE_DIR}/cmake/windows_installer.nsi
      COMMENT "Building ${_setup_name}"
      VERBATIM)
    add_dependencies(ostrel_windows_installer ostrel_bundle ostrel_windows_zip)
  else()
    ostrel_missing_dependency("makensis (Debian: nsis)" "the Windows installer is not built")
  endif()
endif()
