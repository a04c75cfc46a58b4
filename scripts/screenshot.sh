#!/bin/bash
# Takes a screenshot of the window in use: it starts Kartovo.exe under Wine's
# virtual desktop (so that Wine draws the title bar) on a private X server,
# picks the bundled sample with the source "..." button, presses 変換 with
# the keyboard, and saves the screen with the count message showing.
#
#   scripts/screenshot.sh [OUT.png]      (default: docs/screenshot.png)
#
# Needs the windows preset built (cmake --build --preset windows).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
build=build/windows
exe=$build/app/Kartovo.exe
[ -f "$exe" ] || { echo "screenshot.sh: build the windows preset first" >&2; exit 1; }
mkdir -p "$(dirname "$out")"

prefix=$PWD/$build/wineprefix
wine() { cmake/wine-run.sh --default-prefix="$prefix" "$@"; }
work=$(mktemp -d)
cp samples/contacts.vcf "$work/contacts.vcf"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  wine --wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

wine explorer.exe /desktop=Kartovo,1280x800 "$(cd "$(dirname "$exe")" && pwd)/Kartovo.exe" \
  >/dev/null 2>&1 &
for _ in $(seq 100); do xdotool search --name 'Kartovo' >/dev/null 2>&1 && break; sleep 0.2; done
sleep 2
desktop=$(xdotool search --name 'Kartovo' | head -1)
xdotool windowfocus "$desktop" 2>/dev/null || true

# Focus starts on the source "..." button: open the dialog, type the path.
xdotool key space; sleep 2
xdotool type --delay 20 "Z:${work//\//\\}\\contacts.vcf"; sleep 0.5
xdotool key Return; sleep 1.5
# Tab to 変換 (after the destination "...") and press it.
xdotool key Tab Tab space; sleep 2
# Just the program's window, with a little of the desktop round it.
import -window root -crop 660x486+310+158 +repage "$out"
echo "screenshot.sh: wrote $out"
