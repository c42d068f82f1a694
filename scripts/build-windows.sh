#!/usr/bin/env bash
# Builds the Windows x64 bundle, cross-compiled with MinGW-w64, in
# build-windows/: Ostrel.vst3 (Contents/x86_64-win/Ostrel.vst3 and the page
# in Contents/Resources/web/) and Ostrel-<version>-windows-x64.zip with an
# install note.
#
#   scripts/build-windows.sh           the bundle and the zip
#   scripts/build-windows.sh --tests   also the test programs that
#                                      scripts/test-windows.sh runs under Wine
set -euo pipefail
cd "$(dirname "$0")/.."

tests=OFF
[ "${1:-}" = "--tests" ] && tests=ON

scripts/install-deps.sh
jobs="${OSTREL_JOBS:-$(nproc)}"
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DOSTREL_BUILD_TESTS="$tests"
cmake --build build-windows -j "$jobs"
echo "build-windows: $(ls build-windows/*.zip) and build-windows/Ostrel.vst3"
