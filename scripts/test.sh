#!/bin/bash
# Builds every preset and runs all their tests: linux, linux-asan, web (in
# node and headless Chromium) and windows (under Wine). Installs what is
# missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

status=0
echo "== bench generator"
python3 -m unittest discover -s bench -p 'test_*.py' || status=1
echo "== resources"
python3 -m unittest discover -s resources -p 'test_*.py' || status=1
echo "== lint"
bash scripts/lint.sh || status=1
echo "== Wine harness"
bash scripts/check-wine-harness.sh || status=1

# The browser driver, at the versions of its lockfile; again only when the
# lockfile changed.
if ! cmp -s tests/web/package-lock.json tests/web/node_modules/.kartovo-lock 2>/dev/null; then
  npm ci --prefix tests/web --no-audit --no-fund
  cp tests/web/package-lock.json tests/web/node_modules/.kartovo-lock
fi

# The web preset's page is held to the linux build's converter, and goes
# into the windows build's zip.
for preset in linux linux-asan web windows; do
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
