# The editor page's logic (Resources/web) under Node's built-in test runner,
# one CTest test for all tests/web/*.test.js.
find_program(NODE node)
file(GLOB ostrel_web_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/*.test.js)
if(NOT NODE)
  ostrel_missing_dependency("node" "the page's tests (web_page_tests) are left out")
elseif(ostrel_web_tests)
  add_test(NAME web_page_tests COMMAND ${NODE} --test ${ostrel_web_tests})
endif()
