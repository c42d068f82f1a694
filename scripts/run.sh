#!/usr/bin/env bash
# The main job: builds Ostrel (nothing is installed outside the build folder),
# makes a short demo (a vocal-like Source and a strummed guitar as Masker) and
# renders it through two instances of the built VST 3 bundle, loaded like a
# host loads it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"

demo=build/demo
build/ostrel-make-demo "$demo" --seconds 8
# The plug-in's per-user files (presets, last state) stay inside the build folder.
XDG_CONFIG_HOME="$PWD/$demo/config" build/ostrel-render --out-dir "$demo" \
  --summary "$demo/summary.txt" \
  --track "$demo/vocal.wav" --name "Lead Vocal" role=Source channel=1 \
  --track "$demo/masker.wav" --name "Guitar" role=Masker channel=1 depth=70
echo
echo "Bundle: build/Ostrel.vst3 (cmake --install build copies it to ~/.vst3)"
echo "Demo:   $demo/vocal.wav, $demo/masker.wav -> $demo/*.ostrel.wav; summary in $demo/summary.txt"
