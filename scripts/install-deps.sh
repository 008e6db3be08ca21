#!/usr/bin/env bash
# Installs the Debian packages the build and tests need; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build make g++ binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libtinygltf-dev
  # the Windows build: MinGW-w64 cross compiler, GoogleTest's source, Wine for the tests
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine64 wine
  # make package
  zip
  # make fuzz (libFuzzer and the sanitizers' runtime) and the valgrind test
  clang libclang-rt-14-dev valgrind
  # make macos: ld64.lld, llvm-ar, llvm-objdump and llvm-nm of the installed clang (the compiler,
  # zig, comes from npm: scripts/install-macos-toolchain.sh)
  lld-14 llvm-14
)
# the glTF validator's runtime (tests/validator), unless a Node.js with npm is there already
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
