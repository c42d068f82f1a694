#!/usr/bin/env bash
# Builds the Windows bundle with its test programs (scripts/build-windows.sh
# --tests) and runs them under Wine, in a Wine prefix of their own inside
# build-windows/; then renders one input with the render tool of both builds
# and compares the outputs (scripts/compare-windows-render.sh, which builds
# the Linux tools in build/ if needed); last installs, upgrades and
# uninstalls the installer silently in a fresh prefix
# (scripts/test-windows-installer.sh). scripts/test.sh runs it; alone it
# takes a few minutes.
# Without Wine or MinGW-w64 it says so and stops, unless CI=true: then it
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for tool in x86_64-w64-mingw32-g++-posix wine makensis; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    if [ "${CI:-}" = "true" ]; then
      echo "test-windows: $tool not found; CI=true needs it" >&2
      exit 1
    fi
    echo "test-windows: $tool not found, the Windows build is not tested" >&2
    exit 0
  fi
done

scripts/build-windows.sh --tests

export WINEPREFIX="$PWD/build-windows/wineprefix"
export WINEDEBUG=-all
# No prompts for the .NET and browser add-ons, which no test needs.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init >/dev/null 2>&1
  wineserver -w
fi
# The editor's tests create windows, for which Wine needs an X display.
display=()
if command -v xvfb-run >/dev/null 2>&1; then
  # -noreset: the server would otherwise reset whenever its last client
  # leaves, and a test connecting at that moment finds no display.
  display=(xvfb-run -a -s "-screen 0 1280x1024x24 -noreset")
elif [ "${CI:-}" = "true" ]; then
  echo "test-windows: xvfb-run not found; CI=true needs it" >&2
  exit 1
fi
status=0
"${display[@]}" ctest --test-dir build-windows -L windows --output-on-failure \
  -j "${OSTREL_JOBS:-$(nproc)}" || status=$?
scripts/compare-windows-render.sh || status=1
wineserver -k >/dev/null 2>&1 || true
scripts/test-windows-installer.sh || status=1
exit "$status"
