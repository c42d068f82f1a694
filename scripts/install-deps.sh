#!/usr/bin/env bash
# Installs the Debian packages that building and testing Ostrel need, and the
# npm packages of the page's browser test, only when something is missing.
# Safe to run again; works as root or via sudo.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  clang
  libclang-rt-dev
  nlohmann-json3-dev
  juce-modules-source-data
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libsndfile1-dev
  nodejs
  libgtk-3-dev
  libwebkit2gtk-4.1-dev
  # A decimal-comma locale, so the tests can prove numbers ignore the locale.
  locales-all
  # A virtual X display for the web view helper's end-to-end test, and the
  # XTest extension through which the editor's test clicks and types.
  xvfb
  xauth
  libxtst6
  # The Windows x64 build (MinGW-w64, posix threads), GoogleTest's sources
  # for its tests, and Wine to run them.
  g++-mingw-w64-x86-64-posix
  mingw-w64-tools
  googletest
  wine64
  wine
  # The Windows installer (makensis).
  nsis
  # The browser the editor page's test drives (tests/web/browser).
  chromium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Debian's nodejs comes without npm; other builds of Node bring their own.
command -v npm >/dev/null 2>&1 || missing+=(npm)

# The npm packages of the page's browser test, as its lockfile pins them
# (npm ci), again whenever the lockfile has changed. Run as the calling
# user: they go into the source tree.
npm_packages() {
  local dir
  dir="$(cd "$(dirname "$0")/.." && pwd)/tests/web/browser"
  local stamp="$dir/node_modules/.installed-lock.json"
  if cmp -s "$dir/package-lock.json" "$stamp"; then
    return 0
  fi
  echo "install-deps: installing the npm packages of tests/web/browser"
  (cd "$dir" && npm ci --no-audit --no-fund --ignore-scripts)
  cp "$dir/package-lock.json" "$stamp"
}

if [ ${#missing[@]} -eq 0 ]; then
  npm_packages
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and no root or sudo to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
npm_packages
