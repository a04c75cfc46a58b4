#!/bin/bash
# Runs the Windows test suite under Wine, keeping one Wine session warm for
# the whole run so each test .exe starts in milliseconds instead of seconds.
#
#   cmake --preset windows && cmake --build --preset windows
#   scripts/test-windows.sh [CTEST-ARGS...]        e.g. -R text_ --timeout 60
#
# Exits with ctest's status. GUI tests get a private virtual display, so the
# script works the same with or without an X session.
set -u

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
build=$repo/build/windows                 # binaryDir of the windows preset
wine_run=$repo/cmake/wine-run.sh
keepalive=$build/tools/wine-keepalive.exe

say() { echo "test-windows.sh: $*" >&2; }

if [ ! -f "$build/CTestTestfile.cmake" ] || [ ! -f "$keepalive" ]; then
  say "no built windows preset in $build"
  say "run first: cmake --preset windows && cmake --build --preset windows"
  exit 2
fi
for tool in Xvfb flock ctest; do
  command -v "$tool" >/dev/null || { say "$tool is missing; run scripts/install-deps.sh"; exit 2; }
done

# Same prefix as the one baked into the tests' emulator command.
in_wine() { "$wine_run" "--default-prefix=$build/wineprefix" "$@"; }

# A second run on the same build would kill this one's Wine session.
exec 8>"$build/test-windows.lock"
if ! flock -n 8; then
  say "another run is using $build; waiting for it"
  flock 8
fi

tmp=$(mktemp -d)
xvfb_pid=
keepalive_pid=

cleanup() {
  trap - EXIT
  trap '' INT TERM             # a second Ctrl-C must not strand Xvfb or Wine
  [ -n "$keepalive_pid" ] && kill "$keepalive_pid" 2>/dev/null
  in_wine --wineserver -k >/dev/null 2>&1
  in_wine --wineserver -w >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Long-lived children get fd 8 closed, so a straggler cannot keep the
# build locked after this script has gone.

# A private display: tests never draw on a developer's screen, and CI needs
# no X session. -displayfd picks a free display number and reports it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
  3>"$tmp/display" </dev/null >/dev/null 2>"$tmp/xvfb.log" 8>&- &
xvfb_pid=$!
for _ in $(seq 100); do
  grep -q . "$tmp/display" 2>/dev/null && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
display=$(head -n1 "$tmp/display" 2>/dev/null)
if [ -z "$display" ]; then
  say "Xvfb did not start:"; cat "$tmp/xvfb.log" >&2
  exit 2
fi
export DISPLAY=:$display

# Creates the prefix on the first run (10-15 s); says why if it cannot.
in_wine --setup || exit 2

# Whatever Wine process starts the wineserver or its helpers hands them its
# stdout and stderr; if that were a test's, ctest would wait on the pipe
# until the helpers quit. So: a clean slate, then a persistent server and a
# keep-alive that starts the helpers and the desktop, all on /dev/null.
in_wine --wineserver -k >/dev/null 2>&1
in_wine --wineserver -w >/dev/null 2>&1
in_wine --wineserver -p </dev/null >/dev/null 2>&1 8>&-
case $? in
  0|2) ;;                      # 2: someone else's server on this prefix
  *) say "could not start the wineserver"; exit 2 ;;
esac

ready=$tmp/keepalive-ready
# Not through in_wine: $! must be the Wine process itself.
"$wine_run" "--default-prefix=$build/wineprefix" "$keepalive" "Z:${ready//\//\\}" \
  </dev/null >/dev/null 2>&1 8>&- &
keepalive_pid=$!
for _ in $(seq 1200); do
  [ -f "$ready" ] && break
  kill -0 "$keepalive_pid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -f "$ready" ]; then
  say "the Wine keep-alive did not come up within 60 s"
  exit 2
fi

cd "$repo" || exit 2
ctest --preset windows -j2 --output-on-failure "$@"
exit $?
