#!/usr/bin/env bash
# Screenshots of the editor page in headless Chromium (Debian's `chromium`),
# one per scene of harness.html, for a look at the page without a host.
# Usage: tests/web/render_page.sh [out-dir] [scene...]
# The page's log of what it sends goes to <out-dir>/<scene>.log.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-/tmp/ostrel-page}"
shift || true
scenes=("$@")
[ ${#scenes[@]} -gt 0 ] || scenes=(masker source self off bells channel presets guide clicks stale hostbypass manual)
mkdir -p "$out"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
for scene in "${scenes[@]}"; do
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --allow-file-access-from-files --hide-scrollbars \
    --force-device-scale-factor=1 --window-size=1084,543 --virtual-time-budget=1500 \
    --enable-logging=stderr --v=0 \
    --screenshot="$out/$scene.png" "file://$here/harness.html?scene=$scene" \
    2> "$out/$scene.stderr" > /dev/null || true
  grep -o 'SENT .*\|Uncaught.*' "$out/$scene.stderr" | sed 's/", source: .*//' > "$out/$scene.log" || true
  echo "$out/$scene.png"
done
