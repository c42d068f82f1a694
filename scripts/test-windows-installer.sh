#!/usr/bin/env bash
# Tests the Windows installer under Wine in a fresh prefix of its own
# (build-windows/installer-test/prefix): a silent install (/S) puts the
# bundle into C:\Program Files\Common Files\VST3, where hosts and
# ostrel-render.exe load it, and registers the uninstaller under "Apps &
# features"; a second silent install upgrades in place; the silent uninstall
# removes the bundle, the uninstaller and its entry and leaves the user's
# folder (%APPDATA%\Talmesh) alone.
#
# Needs build-windows/ built (scripts/build-windows.sh) and the Linux demo
# maker in build/ (built here when missing). scripts/test-windows.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
setup=$(ls build-windows/Ostrel-*-windows-x64-setup.exe 2>/dev/null | head -n 1 || true)
if [ -z "$setup" ]; then
  echo "test-windows-installer: no installer in build-windows/ (scripts/build-windows.sh)" >&2
  exit 1
fi
version=${setup##*/Ostrel-}
version=${version%-windows-x64-setup.exe}
work="$root/build-windows/installer-test"
rm -rf "$work"
mkdir -p "$work"

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine wineboot --init >/dev/null 2>&1
wineserver -w
drive="$WINEPREFIX/drive_c"
bundle="$drive/Program Files/Common Files/VST3/Ostrel.vst3"
uninstaller="$drive/Program Files/Talmesh/Ostrel/uninstall.exe"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrel'
status=0
fail() {
  echo "test-windows-installer: $*" >&2
  status=1
}
value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }

# The user's own folder, as the plug-in leaves it.
appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")
mkdir -p "$appdata/Talmesh"
echo "user preset" >"$appdata/Talmesh/presets.json"

install() {
  wine "$root/$setup" /S
  wineserver -w
}

install
for file in Contents/x86_64-win/Ostrel.vst3 Contents/Resources/web/index.html; do
  cmp -s "build-windows/Ostrel.vst3/$file" "$bundle/$file" || fail "$file not installed as built"
done
[ -f "$uninstaller" ] || fail "no uninstaller"
[ "$(value DisplayVersion)" = "$version" ] || fail "DisplayVersion '$(value DisplayVersion)', not $version"
[ "$(value Publisher)" = "Talmesh" ] || fail "Publisher '$(value Publisher)'"
size=$(($(value EstimatedSize)))
kib=$(du -sk "$bundle" | cut -f1)
[ "$size" -gt 0 ] && [ "$size" -le $((kib + 64)) ] || fail "EstimatedSize $size KiB for $kib KiB on disk"
echo "test-windows-installer: entry '$(value DisplayName)' $(value DisplayVersion) by $(value Publisher), $size KiB ($kib on disk)"
case "$(value UninstallString)" in
*'\Talmesh\Ostrel\uninstall.exe"') ;;
*) fail "UninstallString '$(value UninstallString)'" ;;
esac

# The installed bundle renders, loaded from where hosts look.
cmake --build build --target ostrel-make-demo >"$work/make-demo.txt" ||
  fail "could not build ostrel-make-demo: $(tail -5 "$work/make-demo.txt")"
mkdir -p "$work/in" "$work/out"
build/ostrel-make-demo "$work/in" --seconds 1 >/dev/null
(cd "$work" && wine "$root/build-windows/ostrel-render.exe" \
  --plugin 'C:\Program Files\Common Files\VST3\Ostrel.vst3' \
  --track in/vocal.wav --out out/vocal.wav role=Source channel=1 \
  --track in/masker.wav --out out/masker.wav role=Masker channel=1 depth=70 >"$work/render.txt") ||
  fail "ostrel-render.exe could not render through the installed bundle"
[ -s "$work/out/masker.wav" ] || fail "no rendered output"

# An upgrade in place: what an earlier version left goes, one entry remains.
echo stale >"$bundle/Contents/Resources/web/left-by-an-earlier-version.js"
install
[ ! -e "$bundle/Contents/Resources/web/left-by-an-earlier-version.js" ] ||
  fail "the upgrade left an earlier version's file"
[ -f "$bundle/Contents/x86_64-win/Ostrel.vst3" ] || fail "the upgrade lost the module"
[ "$(value DisplayVersion)" = "$version" ] || fail "no entry after the upgrade"

# The uninstaller copies itself elsewhere and returns at once: wait for the
# files to go.
wine "$uninstaller" /S
for _ in $(seq 1 60); do
  [ ! -e "$bundle" ] && [ ! -e "$uninstaller" ] && break
  sleep 1
done
wineserver -w
[ ! -e "$bundle" ] || fail "the bundle is still there after uninstalling"
[ ! -e "$uninstaller" ] || fail "the uninstaller is still there"
[ ! -e "$drive/Program Files/Talmesh" ] || fail "an empty Talmesh folder is left in Program Files"
wine reg query "$key" >/dev/null 2>&1 && fail "the Apps & features entry is still there"
[ "$(cat "$appdata/Talmesh/presets.json" 2>/dev/null)" = "user preset" ] ||
  fail "uninstalling touched the user's folder"

wineserver -k >/dev/null 2>&1 || true
if [ "$status" -eq 0 ]; then
  rm -rf "$work"
  echo "test-windows-installer: install, upgrade, render and uninstall as expected"
fi
exit "$status"
