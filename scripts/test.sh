#!/bin/bash
# Builds every preset and runs all their tests: linux, linux-asan, and
# windows (under Wine). Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

status=0
for preset in linux linux-asan windows; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  if [ "$preset" = windows ]; then
    bash scripts/test-windows.sh || status=1
  else
    ctest --preset "$preset" || status=1
  fi
done
exit $status
