#!/usr/bin/env bash
# Compiles every source of the plug-in's folders and of the render tool that
# the Windows build takes (all but *_linux.cpp) with MinGW-w64, syntax only,
# warnings as errors: a Linux type or header that leaks into portable code
# fails here, before any Windows file needs it.
#
#   scripts/check-portable-sources.sh [VST3_SDK_DIR [WORK_DIR]]
#
# Without the MinGW compiler it skips (exit 77), unless CI=true.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sdk="${1:-/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK}"
work="${2:-$root/build/portable-sources}"
cxx="${OSTREL_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}"

if ! command -v "$cxx" >/dev/null 2>&1; then
  if [ "${CI:-}" = "true" ]; then
    echo "check-portable-sources: $cxx not found; CI=true needs it (scripts/install-deps.sh)" >&2
    exit 1
  fi
  echo "check-portable-sources: $cxx not found, skipped" >&2
  exit 77
fi

# The JSON library is header-only; only its own folder is offered, so that
# no Linux system header can stand in for a Windows one.
mkdir -p "$work/include"
ln -sfn /usr/include/nlohmann "$work/include/nlohmann"

cd "$root"
mapfile -t sources < <(ls link/*.cpp storage/*.cpp engine/*.cpp framework/*.cpp webview/*.cpp \
  vst3/*.cpp editor_messages/*.cpp plugin/*.cpp tools/render/*.cpp tools/render/host/*.cpp \
  2>/dev/null | grep -v '_linux\.cpp$')

printf '%s\n' "${sources[@]}" |
  xargs -P "$(nproc)" -n 4 "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -DRELEASE=1 \
    -I"$root" -isystem "$sdk" -isystem "$work/include"
echo "check-portable-sources: ${#sources[@]} sources compile for Windows"
