#!/bin/sh
# Runs a Windows program under Wine in the prefix PREFIX, making the prefix on first use; the test
# runner of the Windows build (see cmake/mingw-w64-x86_64.cmake).
#
#   cmake/wine-run.sh PREFIX PROGRAM [ARGUMENT...]
#
# No display is needed: WINEDEBUG=-all quiets Wine's own diagnostics and the Mono and Gecko
# installers are switched off. The exit status is the program's.
set -eu
if [ $# -lt 2 ]; then
  echo "usage: $0 PREFIX PROGRAM [ARGUMENT...]" >&2
  exit 2
fi
prefix=$1
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

# Tests run in parallel: one of them makes the prefix while the others wait.
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
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
exec "$wine" "$@"
