#!/usr/bin/env bash
# Renders one short input with the Linux build's ostrel-render and with the
# Windows build's ostrel-render.exe under Wine, through four instances in one
# process (Source, a Masker on its Channel, Self, Off), with 32- and with
# 64-bit samples, and compares the outputs: Source and Off must be
# bit-exact, Masker and Self within -120 dB of the signal's RMS. The input's
# file name is not ASCII, so the Windows tool's UTF-8 command line is tested
# too. Last, the comparison must catch a deliberate one-sample difference.
#
#   scripts/compare-windows-render.sh [WORK_DIR]    (default build-windows/render-compare)
#
# Needs build-windows/ built and a Wine prefix (scripts/test-windows.sh does
# both and runs this); builds the Linux tools in build/ when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
work="${1:-build-windows/render-compare}"
exe="$root/build-windows/ostrel-render.exe"
if [ ! -f "$exe" ]; then
  echo "compare-windows-render: $exe not built (scripts/build-windows.sh)" >&2
  exit 1
fi
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build build -j "${OSTREL_JOBS:-$(nproc)}" \
  --target ostrel-render ostrel-make-demo ostrel-compare-audio >/dev/null
compare="$root/build/ostrel-compare-audio"

rm -rf "$work"
mkdir -p "$work/in"
build/ostrel-make-demo "$work/in" --seconds 2 >/dev/null
vocal="in/v$(printf '\xc3\xb6')cal-$(printf '\xe6\xb0\xb4').wav" # "vöcal-水.wav"
mv "$work/in/vocal.wav" "$work/$vocal"
cd "$work"
mkdir -p config

# Wine hands the program its command line in the locale's encoding.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
status=0
for precision in 32 64; do
  for side in linux windows; do
    out="$side-$precision"
    mkdir -p "$out"
    args=(--precision "$precision"
      --track "$vocal" --out "$out/source.wav" role=Source channel=1
      --track in/masker.wav --out "$out/masker.wav" role=Masker channel=1 depth=70
      --track "$vocal" --out "$out/self.wav" role=Self depth=70
      --track in/masker.wav --out "$out/off.wav" role=Off)
    if [ "$side" = linux ]; then
      XDG_CONFIG_HOME="$PWD/config" "$root/build/ostrel-render" "${args[@]}" >"$out.txt"
    else
      wine "$exe" "${args[@]}" >"$out.txt"
    fi
  done
  for role in source off; do
    "$compare" --exact "linux-$precision/$role.wav" "windows-$precision/$role.wav" || status=1
  done
  for role in masker self; do
    "$compare" --within -120 "linux-$precision/$role.wav" "windows-$precision/$role.wav" ||
      status=1
  done
done

# The check itself: one byte in the middle of one sample of the Masker's
# output changed must fail both ways of comparing.
cp windows-32/masker.wav altered.wav
data=$(grep -obUa data altered.wav | head -n 1 | cut -d: -f1)
size=$(stat -c %s altered.wav)
at=$((data + 8 + (size - data - 8) / 8 * 4 + 2))
byte=$(od -An -tu1 -j "$at" -N 1 altered.wav | tr -d ' ')
printf "\\x$(printf %02x $(((byte + 1) % 256)))" | dd of=altered.wav bs=1 seek="$at" conv=notrunc status=none
for mode in "--exact" "--within -120"; do
  # shellcheck disable=SC2086
  if "$compare" $mode linux-32/masker.wav altered.wav >/dev/null; then
    echo "compare-windows-render: a changed sample passed '$mode'" >&2
    status=1
  fi
done

if [ "$status" -ne 0 ]; then
  echo "compare-windows-render: the Windows render differs from the Linux one (in $work)" >&2
else
  echo "compare-windows-render: Linux and Windows renders agree (Source and Off bit-exact)"
fi
exit "$status"
