#!/bin/bash
# Builds Kartovo.exe and starts it under Wine with the Japanese locale. It
# shows on the user's display, or on a private virtual X server when there
# is none (then use scripts/screenshot.sh to see it). Returns when the
# window is closed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Kartovo >/dev/null

if [ -z "${DISPLAY:-}" ]; then
  work=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$work/display")
  echo "run.sh: no display; Kartovo runs on the virtual display $DISPLAY until it is closed."
fi
cmake/wine-run.sh --default-prefix="$PWD/build/windows/wineprefix" "$PWD/build/windows/app/Kartovo.exe"
