#!/bin/bash
# Installs everything the linux, linux-asan, windows and web presets and
# their tests need on Debian 12. Run as root; safe to run again, and quick
# then: it only calls apt when a package is missing.
set -euo pipefail

packages=(
  # native builds and tests; the lint command's tools
  cmake make g++ googletest libgtest-dev python3 time clang-tidy cppcheck valgrind
  # Windows cross build; the -posix compilers are the ones that build GoogleTest
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  # running the Windows tests; fonts-wine holds the fonts copied into the prefix
  wine wine64 fonts-wine xvfb xauth
  # ja_JP.UTF-8, so Wine's ANSI code page is 932
  locales
  # GUI checks and screenshots; the Japanese font for the rendered text
  xdotool imagemagick fonts-ipafont-gothic
  # the web preset: Kartovo.html built by Emscripten, whose script optimiser
  # needs acorn; its tests in node, in headless Chromium and Firefox ESR
  emscripten node-acorn nodejs chromium firefox-esr
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh: run as root" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps.sh: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # Recommends stay on: Wine's X11 driver loads libxrender, libxrandr and
  # friends at run time, and they are only recommended.
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# npm drives the browser tests. A node from elsewhere (NodeSource's) brings
# its own npm, which Debian's npm package would conflict with.
if ! command -v npm >/dev/null; then
  echo "install-deps.sh: installing npm"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq npm >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "install-deps.sh: generating locale ja_JP.UTF-8"
  sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
