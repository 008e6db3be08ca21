#!/bin/sh
# Runs a Windows program under Wine in the prefix PREFIX, making the prefix on first use; the test
# runner of the Windows build (see cmake/mingw-w64-x86_64.cmake).
#
#   cmake/wine-run.sh PREFIX PROGRAM [ARGUMENT...]
#   cmake/wine-run.sh PREFIX --start-server | --stop-server
#
# No display is needed: WINEDEBUG=-all quiets Wine's own diagnostics and the Mono and Gecko
# installers are switched off. The exit status is the program's. PREFIX may be relative.
#
# A wineserver left to itself exits a few seconds after its last program ends; a program that
# starts while it is going down fails with "recvmsg: Connection reset by peer" or no output at all.
# A test run therefore starts one server that stays (--start-server) before its first test and
# stops it (--stop-server) after its last, so that no program ever meets a server going down.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM [ARGUMENT...] | PREFIX --start-server | PREFIX --stop-server" >&2
  exit 2
fi
# wineserver refuses a relative WINEPREFIX
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
shift
WINEPREFIX=$prefix
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY 2>/dev/null || true

wine=$(command -v wine || command -v wine64 || true)
if [ -z "$wine" ]; then
  echo "$0: no wine command; install the Debian package wine64 (make deps)" >&2
  exit 127
fi

# Programs may start side by side: one of them makes the prefix while the others wait.
if [ ! -f "$prefix/system.reg" ]; then
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      wineserver -w || true
    fi
  ) 9>"$prefix.lock"
  if [ ! -f "$prefix/system.reg" ]; then
    echo "$0: wine could not make the prefix $prefix" >&2
    exit 1
  fi
fi

case "$1" in
  --start-server)
    # A server that is still there (from listing the tests, say) would go down on its own: end it,
    # then start one that stays until --stop-server, and bring up the prefix's own Windows
    # processes once, before programs start side by side. Neither may keep this script's output
    # open: whoever runs it (ctest) waits for that output to close.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    if ! wineserver -p </dev/null >/dev/null 2>&1; then
      echo "$0: could not start a wineserver for $prefix" >&2
      exit 1
    fi
    "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    exit 0
    ;;
  --stop-server)
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    exit 0
    ;;
esac
# Not exec: a status other than 0 and 1 (a program's own failure) is said, since Wine itself may
# end that way without a word. A signal to this script (ctest's timeout) goes on to the program.
# (the shell gives a program in the background /dev/null as input: it gets this script's through 3)
exec 3<&0
"$wine" "$@" <&3 3<&- &
program=$!
exec 3<&-
trap 'kill -TERM "$program" 2>/dev/null' HUP INT TERM
status=0
wait "$program" || status=$?
if [ "$status" -gt 128 ] && kill -0 "$program" 2>/dev/null; then
  status=0
  wait "$program" || status=$?
fi
if [ "$status" -gt 1 ]; then
  echo "$0: $1 ended with status $status" >&2
fi
exit "$status"
