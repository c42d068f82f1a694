# cmake -DSOURCE_DIR=<root> -DWORK_DIR=<scratch> -P include_layering_cases.cmake
#
# Proves that the include layering check can fail: each case puts one file
# into an otherwise empty tree that carries the real README, runs the check
# and compares the verdict (and, on failure, that the report names the file).
set(checker ${SOURCE_DIR}/cmake/CheckIncludeLayering.cmake)

# verdict | file | its one line
set(cases
  "fail|engine/stage.cpp|#include \"vst3/vst3_plugin.h\""
  "fail|engine/stage.h|#include \"pluginterfaces/base/funknown.h\""
  "fail|engine/stage.cpp|  #  include \"plugin/ostrel.h\""
  "fail|link/registry.cpp|#include <engine/biquad.h>"
  "fail|framework/plugin_base.h|#include \"editor_messages/meter_report.h\""
  "fail|framework/page.cpp|#include \"webview/editor_web_view.h\""
  "fail|webview/helper/window.cpp|#include \"vst3/vst3_view.h\""
  "fail|editor_messages/report.cpp|#include \"engine/spectral_engine.h\""
  "fail|tools/render/host.cpp|#include \"plugin/ostrel.h\""
  "fail|storage/files.cpp|#include \"nowhere/file.h\""
  "fail|gadgets/gadget.cpp|#include \"link/peer_registry.h\""
  "pass|engine/stage.cpp|#include \"link/peer_registry.h\""
  "pass|engine/stage.cpp|#include \"engine/biquad.h\""
  "pass|engine/stage.cpp|#include \"biquad.h\""
  "pass|engine/stage.cpp|// #include \"vst3/vst3_plugin.h\" would break the layering"
  "pass|engine/stage.cpp|#include <sys/types.h>"
  "pass|vst3/view.cpp|#include \"pluginterfaces/gui/iplugview.h\""
  "pass|webview/helper/window.cpp|#include \"framework/iweb_view.h\""
  "pass|plugin/ostrel.cpp|#include \"editor_messages/meter_report.h\""
  "pass|tests/engine/stage_test.cpp|#include \"vst3/vst3_plugin.h\""
  "pass|bench/bench.cpp|#include \"plugin/ostrel.h\""
)

set(failures)
set(index 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 verdict)
  list(GET fields 1 file)
  list(GET fields 2 text)
  math(EXPR index "${index} + 1")
  set(tree ${WORK_DIR}/case_${index})
  file(REMOVE_RECURSE ${tree})
  file(MAKE_DIRECTORY ${tree})
  file(COPY ${SOURCE_DIR}/README.md DESTINATION ${tree})
  file(WRITE ${tree}/${file} "${text}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${checker}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(verdict STREQUAL "fail")
    if(result EQUAL 0)
      list(APPEND failures "accepted ${file}: ${text}")
    elseif(NOT output MATCHES "${file}")
      list(APPEND failures "rejected ${file} without naming it: ${output}")
    endif()
  elseif(NOT result EQUAL 0)
    list(APPEND failures "rejected ${file}: ${text}\n${output}")
  endif()
endforeach()

if(failures)
  string(REPLACE ";" "\n  " shown "${failures}")
  message(FATAL_ERROR "The include layering check got cases wrong:\n  ${shown}")
endif()
message(STATUS "Include layering check: all ${index} cases judged right")
