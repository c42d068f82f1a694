# Warnings are errors in our own code only; third-party code (the VST 3 SDK)
# is compiled without them.
function(ostrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
