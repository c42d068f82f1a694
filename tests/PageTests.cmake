# The editor page's logic (Resources/web) under Node's built-in test runner,
# one CTest test for all tests/web/*.test.js; and the whole page in headless
# Chromium (web_page_chromium, tests/web/browser).
find_program(NODE node)
file(GLOB ostrel_web_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/web/*.test.js)
if(NOT NODE)
  ostrel_missing_dependency("node" "the page's tests (web_page_tests, web_page_chromium) are left out")
elseif(ostrel_web_tests)
  add_test(NAME web_page_tests COMMAND ${NODE} --test ${ostrel_web_tests})
endif()

# The browser test drives Debian's chromium through playwright-core, which
# scripts/install-deps.sh installs from tests/web/browser's lockfile. Without
# them the test reports itself skipped (77); under CI=true it fails instead,
# and the configure already does.
if(NODE)
  set(ostrel_page_browser ${CMAKE_CURRENT_SOURCE_DIR}/web/browser)
  if(NOT EXISTS /usr/bin/chromium)
    ostrel_missing_dependency("/usr/bin/chromium" "the page is not tested in a browser (web_page_chromium)")
  endif()
  if(NOT EXISTS ${ostrel_page_browser}/node_modules/playwright-core/package.json)
    ostrel_missing_dependency("playwright-core (tests/web/browser)"
                              "the page is not tested in a browser (web_page_chromium)")
  endif()
  add_test(NAME web_page_chromium COMMAND ${NODE} ${ostrel_page_browser}/page.chromium.test.js)
  set_tests_properties(web_page_chromium PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
