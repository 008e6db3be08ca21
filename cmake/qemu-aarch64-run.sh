#!/bin/sh
# Runs a program of the arm64 Linux build under qemu-user, with the arm64 glibc of the Debian
# package libc6-arm64-cross; the test runner of that build (see cmake/zig-linux-arm64.cmake).
#
#   cmake/qemu-aarch64-run.sh PROGRAM [ARGUMENT...]
#
# The exit status is the program's; a signal to this script (ctest's timeout) reaches the emulator.
set -eu
readonly sysroot=/usr/aarch64-linux-gnu
if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM [ARGUMENT...]" >&2
  exit 2
fi
if ! command -v qemu-aarch64-static >/dev/null 2>&1; then
  echo "$0: no qemu-aarch64-static; install the Debian package qemu-user-static (scripts/install-deps.sh arm64)" >&2
  exit 127
fi
if [ ! -e "$sysroot/lib/ld-linux-aarch64.so.1" ]; then
  echo "$0: no arm64 glibc in $sysroot; install the Debian package libc6-arm64-cross (scripts/install-deps.sh arm64)" >&2
  exit 127
fi
QEMU_LD_PREFIX=$sysroot exec qemu-aarch64-static "$@"
