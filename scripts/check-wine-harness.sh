#!/bin/bash
# Checks the Wine test harness itself (cmake/wine-run.sh and the keep-alive)
# in a throwaway prefix, using Wine's own cmd.exe and reg.exe, so it needs
# no build of the project. A broken harness otherwise shows up as tests
# that pass for the wrong reason (code page 1252) or runs that hang.
#
#   scripts/check-wine-harness.sh          about 25 s, half of it the prefix
set -u

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
wine_run=$repo/cmake/wine-run.sh
tmp=$(mktemp -d)
prefix=$tmp/pfx
passed=0
failed=0

run() { KARTOVO_WINEPREFIX=$prefix "$wine_run" "$@"; }

cleanup() {
  run --wineserver -k >/dev/null 2>&1
  run --wineserver -w >/dev/null 2>&1
  # Debian's Wine keeps each prefix's server folder in $TMPDIR, named in
  # the prefix's "wineserver" file; it would outlive the prefix.
  local server_dir
  server_dir=$(cat "$prefix/wineserver" 2>/dev/null)
  case $server_dir in wine-?*) rm -rf "${TMPDIR:-/tmp}/$server_dir" ;; esac
  rm -rf "$tmp"
}
trap cleanup EXIT

check() {   # check NAME COMMAND...: passes when COMMAND succeeds
  local name=$1; shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok   $name"
  else
    failed=$((failed + 1)); echo "FAIL $name"
  fi
}

keepalive=$tmp/wine-keepalive.exe
x86_64-w64-mingw32-gcc-posix -Wall -Wextra -municode -static -o "$keepalive" \
  "$repo/tools/wine-keepalive.c" || exit 2

start_keepalive() {   # start_keepalive NAME [arg|env]: sets $pid, waits for ready
  local ready=$tmp/ready-$1 winpath
  winpath="Z:${ready//\//\\}"
  if [ "${2-arg}" = env ]; then
    KARTOVO_KEEPALIVE_READY=$winpath KARTOVO_WINEPREFIX=$prefix \
      "$wine_run" "$keepalive" </dev/null >/dev/null 2>&1 &
  else   # not through run(): $! must be the Wine process itself
    KARTOVO_WINEPREFIX=$prefix \
      "$wine_run" "$keepalive" "$winpath" </dev/null >"$tmp/out-$1" 2>"$tmp/err-$1" &
  fi
  pid=$!
  for _ in $(seq 200); do [ -f "$ready" ] && return 0; sleep 0.05; done
  return 1
}

# --- prefix creation: two programs race for a prefix that does not exist yet;
# the environment's relative prefix must win over --default-prefix.
cold_start() {
  (cd "$tmp" && KARTOVO_WINEPREFIX=pfx "$wine_run" "--default-prefix=$tmp/unused" cmd.exe /c exit 5) &
  local a=$!
  (cd "$tmp" && KARTOVO_WINEPREFIX=pfx "$wine_run" "--default-prefix=$tmp/unused" cmd.exe /c exit 6) &
  local b=$!
  wait $a; local ra=$?
  wait $b; local rb=$?
  [ "$ra" = 5 ] && [ "$rb" = 6 ] && [ -f "$prefix/.kartovo-ready" ] && [ ! -e "$tmp/unused" ]
}
check "concurrent first runs share one new prefix from KARTOVO_WINEPREFIX" cold_start

# --- exit codes come back unchanged, including failures ctest must see.
exit_code_is() { run cmd.exe /c exit "$1" >/dev/null 2>&1; [ $? = "$1" ]; }
for code in 0 1 2 42 255; do
  check "exit code $code passes through" exit_code_is "$code"
done

# --- text is CP932 whatever the caller's locale: cmd writes its output in
# the ANSI code page, so 日本 must arrive as the bytes 93 FA 96 7B.
writes_cp932_with() {
  local bytes
  bytes=$(env KARTOVO_WINEPREFIX="$prefix" "$@" "$wine_run" cmd.exe /c echo 日本 2>/dev/null | od -An -tx1 | tr -d ' \n')
  [ "$bytes" = 93fa967b0d0a ] || { echo "  got: $bytes"; return 1; }
}
check "CP932 output under LC_ALL=C" writes_cp932_with LC_ALL=C LANG=C
check "CP932 output under LANG=en_US.UTF-8" writes_cp932_with LC_ALL= LANG=en_US.UTF-8

# --- output reaches the caller.
check "program output reaches stdout" \
  bash -c "KARTOVO_WINEPREFIX='$prefix' '$wine_run' cmd.exe /c echo harness-marker | grep -q harness-marker"

# --- the registry setting survives a server restart (it is only written to
# disk when the server exits).
unmanaged_after_restart() {
  run --wineserver -k >/dev/null 2>&1; run --wineserver -w >/dev/null 2>&1
  run reg.exe query 'HKCU\Software\Wine\X11 Driver' /v Managed 2>/dev/null | grep -q 'REG_SZ *N'
}
check "windows stay unmanaged after a server restart" unmanaged_after_restart

keepalive_ready() {   # keepalive_ready arg|env
  local pid alive=0
  start_keepalive "$1" "$1" && kill -0 "$pid" 2>/dev/null && alive=1
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  [ $alive = 1 ]
}
check "keep-alive writes the ready file named by its argument and stays up" keepalive_ready arg
check "keep-alive writes the ready file named by KARTOVO_KEEPALIVE_READY" keepalive_ready env

# --- the first program on a fresh server hands none of its output to Wine's
# background processes. If it did, they would hold a test's pipe after the
# test ends, for as long as any other program keeps the server up, and
# ctest would wait on it.
output_not_handed_down() {
  local pid first held=
  run --wineserver -k >/dev/null 2>&1; run --wineserver -w >/dev/null 2>&1
  start_keepalive first || return 1
  first=$pid
  start_keepalive other || { kill "$first"; return 1; }
  kill "$first"; wait "$first" 2>/dev/null
  local fd
  for fd in /proc/[0-9]*/fd/*; do
    case $(readlink "$fd" 2>/dev/null) in
      "$tmp/out-first"|"$tmp/err-first") held="$held $(tr '\0' ' ' <"${fd%/fd/*}/cmdline")" ;;
    esac
  done
  kill "$pid"; wait "$pid" 2>/dev/null
  [ -z "$held" ] || { echo "  held by:$held"; return 1; }
}
check "the first program's output is not held once it has ended" output_not_handed_down

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
