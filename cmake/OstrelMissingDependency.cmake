# ostrel_missing_dependency(<what is missing> <what is left out>)
# Outside CI a part that cannot be built here (no web view toolkit, no Node,
# no clang) is left out with a warning, so the rest still builds and tests.
# In CI (the environment variable CI is "true") the same gap fails the
# configure: a run that silently dropped the bundle, page or web view tests
# would otherwise pass without having tested them.
function(ostrel_missing_dependency what consequence)
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR
      "${what} not found, so ${consequence}. CI=true requires every dependency; "
      "scripts/install-deps.sh installs them.")
  else()
    message(WARNING "${what} not found: ${consequence} (with CI=true this is an error).")
  endif()
endfunction()
