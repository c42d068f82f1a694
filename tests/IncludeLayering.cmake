# The folders' include rules are the "may include" column of the README's
# Layout table; include_layering checks the whole tree against it, and
# include_layering_cases proves on small trees that the check rejects what
# it should.
add_test(NAME include_layering
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -P ${CMAKE_SOURCE_DIR}/cmake/CheckIncludeLayering.cmake)
add_test(NAME include_layering_cases
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/include_layering_cases
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/include_layering_cases.cmake)
set_tests_properties(include_layering include_layering_cases PROPERTIES LABELS layering)
