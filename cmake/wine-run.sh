#!/bin/bash
# Runs a Windows program under Wine, set up the way the tests expect.
# CMake uses it as CMAKE_CROSSCOMPILING_EMULATOR, so ctest and
# gtest_discover_tests call it with the .exe path first.
#
#   wine-run.sh [--default-prefix=DIR] PROGRAM.exe [ARGS...]
#   wine-run.sh [--default-prefix=DIR] --wineserver [WINESERVER-ARGS...]
#   wine-run.sh [--default-prefix=DIR] --setup
#
# The prefix is $KARTOVO_WINEPREFIX, else DIR, else "wineprefix" in the
# nearest folder above PROGRAM holding a CMakeCache.txt.
# KARTOVO_WINEDEBUG replaces the default WINEDEBUG=-all when chasing a fault.
# The program's exit code is passed through; 125 means this script failed.
set -u

wine=/usr/lib/wine/wine64              # not on PATH in Debian's packages
wineserver=/usr/lib/wine/wineserver    # adds -p0; a later -p wins

die() { echo "wine-run.sh: $*" >&2; exit 125; }

default_prefix=
case "${1-}" in
  --default-prefix=*) default_prefix=${1#--default-prefix=}; shift ;;
esac
[ $# -gt 0 ] || die "usage: wine-run.sh [--default-prefix=DIR] PROGRAM.exe [ARGS...]"

find_build_dir() {
  local d
  d=$(cd "$(dirname "$1")" 2>/dev/null && pwd -P) || return 1
  while [ "$d" != / ]; do
    [ -f "$d/CMakeCache.txt" ] && { echo "$d"; return 0; }
    d=$(dirname "$d")
  done
  return 1
}

prefix=${KARTOVO_WINEPREFIX:-$default_prefix}
if [ -z "$prefix" ] && [ "${1#--}" = "$1" ]; then
  build_dir=$(find_build_dir "$1") && prefix=$build_dir/wineprefix
fi
[ -n "$prefix" ] || die "no Wine prefix: set KARTOVO_WINEPREFIX or pass --default-prefix=DIR"
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac   # Wine rejects relative ones

# Japanese locale so Wine's ANSI and OEM code pages are 932: a CI shell's
# LC_ALL=C would give 1252 and hide every CP932 mistake.
export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=${KARTOVO_WINEDEBUG:--all}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset LANGUAGE
# Keeps Wine from writing menu entries and file associations into $HOME.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}

if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  die "locale ja_JP.UTF-8 is missing; run scripts/install-deps.sh (or locale-gen)"
fi

stamp=$prefix/.kartovo-ready

# Every Wine command below runs with fd 9 (the lock) closed: a wineserver
# or helper that inherited it would hold the lock for its whole life.
create_prefix() {
  local log=$prefix.log server_dir
  # A half-made prefix from an interrupted run; Debian's Wine also keeps a
  # server folder for it in $TMPDIR, named in its "wineserver" file.
  server_dir=$(cat "$prefix/wineserver" 2>/dev/null)
  case $server_dir in wine-?*) rm -rf "${TMPDIR:-/tmp}/$server_dir" ;; esac
  rm -rf "$prefix"
  mkdir -p "$prefix"
  {
    # mscoree/mshtml off: otherwise wineboot offers to download Mono and
    # Gecko, which this machine cannot, and may wait on a dialog.
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" "$wine" wineboot.exe -i &&
    # Without a window manager Wine waits about 2 s on every window close
    # for a reply that never comes; unmanaged windows skip the wait.
    "$wine" reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f &&
    # Debian's Wine does not find its own fonts in /usr/share/wine/fonts;
    # without Marlett the title-bar buttons are drawn as letters. Its Tahoma
    # stays out: see below.
    (
      set -e
      for font in /usr/share/wine/fonts/*.ttf; do
        case $font in */tahoma*) ;; *) cp "$font" "$prefix/drive_c/windows/Fonts/" ;; esac
      done
    ) &&
    # A Japanese Windows has Meiryo, and draws Japanese in Tahoma by font
    # linking, which Wine's rich edit control does not do. Both names lead
    # to IPA P Gothic here, so the window shows its Japanese as a user's
    # machine would.
    (
      set -e
      for face in Tahoma 'Tahoma Bold' 'メイリオ' Meiryo; do
        "$wine" reg.exe add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAPGothic /f
      done
    ) &&
    # The registry reaches disk only when the server exits.
    "$wineserver" -w
  } </dev/null >"$log" 2>&1 9>&- || {
    cat "$log" >&2
    die "could not create the Wine prefix $prefix (log: $log)"
  }
  touch "$stamp"
}

# The first program on a fresh wineserver also starts Wine's background
# processes, and the first one to touch a window starts the desktop
# process; all of them inherit that program's stdout and stderr. Under
# ctest that pipe then stays open as long as the server runs, so a test
# seems to hang long after it passed. Starting the server, the background
# processes and the desktop here, on /dev/null, leaves a test nothing of its
# own to hand down. (rundll32 calls GetDesktopWindow and ignores the
# arguments it passes.) The server lingers a few seconds after its last
# program, so a suite run without scripts/test-windows.sh boots Wine once.
start_session() {
  if "$wineserver" -p3 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 9>&-
  fi
  return 0   # exit code 2 only means a server was already running
}

mkdir -p "$(dirname "$prefix")" || die "cannot create $(dirname "$prefix")"
# ctest -j starts several programs at once; one at a time may build the
# prefix or start the server.
exec 9>"$prefix.lock"
flock 9
[ -f "$stamp" ] || create_prefix
case $1 in
  --setup) exit 0 ;;
  --wineserver) exec 9>&-; shift; exec "$wineserver" "$@" ;;
esac
start_session
exec 9>&-

exec "$wine" "$@"
