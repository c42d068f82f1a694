# Every source the Windows build takes compiles with MinGW-w64 (syntax only):
# the platform seams stay clean on the Linux build too.
add_test(NAME portable_sources_windows
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-portable-sources.sh ${OSTREL_VST3_SDK}
                 ${CMAKE_CURRENT_BINARY_DIR}/portable_sources)
set_tests_properties(portable_sources_windows PROPERTIES LABELS layering SKIP_RETURN_CODE 77
                                                         TIMEOUT 900)
