#!/usr/bin/env bash
# Builds and tests Ostrel in stages; with no argument every stage runs, as CI
# runs it:
#   quick    the Release build in build/ and every CTest test
#   windows  the Windows build with its tests under Wine, the render
#            comparison and the installer (scripts/test-windows.sh)
#   asan     the whole suite again under AddressSanitizer and
#            UndefinedBehaviorSanitizer, with leak detection
#   fuzz     the fuzzers for a few seconds each from their seeds
#   tsan     the concurrency tests under ThreadSanitizer, among them a stress
#            run of a whole session of instances for a minute
#            (OSTREL_STRESS_SECONDS sets another length for that run only)
# Stages run in the order given. With CI=true a missing dependency is an
# error, not a skipped test.
set -euo pipefail
cd "$(dirname "$0")/.."

all_stages=(quick windows asan fuzz tsan)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  case " ${all_stages[*]} " in
  *" $stage "*) ;;
  *)
    echo "test.sh: unknown stage '$stage' (stages: ${all_stages[*]})" >&2
    exit 2
    ;;
  esac
done

# The stress run's length under ThreadSanitizer; the plain and sanitizer runs
# of the suite keep its short default.
stress_seconds="${OSTREL_STRESS_SECONDS:-60}"
unset OSTREL_STRESS_SECONDS

scripts/install-deps.sh

jobs=$(nproc)
# In CI (CI=true) nothing may be skipped for want of a dependency: the
# configure, the tests and this script fail instead.
in_ci=false
[ "${CI:-}" = "true" ] && in_ci=true

# A virtual X display lets the editor's web view helper be tested for real.
display=()
if command -v xvfb-run >/dev/null 2>&1; then
  # -noreset: the server would otherwise reset whenever its last client
  # leaves, and a test connecting at that moment finds no display.
  display=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
elif $in_ci; then
  echo "test.sh: xvfb-run not found; CI=true needs it for the web view tests" >&2
  exit 1
fi

# The Release tree: the quick stage's own, and the tools and fuzzers the
# other stages use.
release_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j "$jobs"
}

stage_quick() {
  release_build
  "${display[@]}" ctest --test-dir build --output-on-failure -j "$jobs"
}

# The Windows x64 bundle, cross-built with MinGW-w64, and its tests under
# Wine (build-windows/).
stage_windows() {
  OSTREL_JOBS="$jobs" scripts/test-windows.sh
}

# Every test again with AddressSanitizer, UndefinedBehaviorSanitizer and leak
# detection. Only the toolkit libraries of the web view helper may leak
# (tests/leak_suppressions.txt).
stage_asan() {
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=address \
    -DOSTREL_BUILD_BENCH=OFF
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    LSAN_OPTIONS="suppressions=$PWD/tests/leak_suppressions.txt" \
    "${display[@]}" ctest --test-dir build-asan --output-on-failure -j "$jobs"
}

# The fuzzers (clang, AddressSanitizer), a few seconds each from their seeds.
stage_fuzz() {
  if command -v clang++ >/dev/null 2>&1 || $in_ci; then
    [ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build build --target fuzz
  else
    echo "test.sh: clang++ not found, the page-message fuzzers do not run" >&2
  fi
}

# The lock-free code again under ThreadSanitizer, and a session of instances
# of the bundle driven from every thread at once (only the tests named
# "Concurrency" run there).
stage_tsan() {
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_SANITIZE=thread \
    -DOSTREL_BUILD_BENCH=OFF
  cmake --build build-tsan -j "$jobs" --target test_link test_engine test_framework test_vst3
  TSAN_OPTIONS="halt_on_error=1" OSTREL_STRESS_SECONDS="$stress_seconds" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R 'Concurrency'
}

for stage in "${stages[@]}"; do
  echo "test.sh: stage $stage"
  "stage_$stage"
done
