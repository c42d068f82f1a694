#!/usr/bin/env bash
# What an open editor with moving meters costs: one editor, audio playing
# through a Source and a Masker, on a virtual X display with software
# rendering; prints the processor share of the web view helper and the
# browser's processes over the measured seconds (and of the host process).
# Usage: bench/editor_cpu.sh [build-dir] [seconds] [more options of ostrel-editor-cpu,
# such as --editors 2]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
seconds="${2:-20}"
shift $(( $# > 2 ? 2 : $# ))
cmake --build "$build" --target ostrel-editor-cpu >/dev/null
exec xvfb-run -a -s "-screen 0 2560x1080x24" \
  env LIBGL_ALWAYS_SOFTWARE=1 "$build/bench/ostrel-editor-cpu" --seconds "$seconds" "$@"
