# Linux on arm64, built on Debian with the macOS build's compiler, the "arm64" preset: zig 0.11
# (clang 16, libc++ 16) with a signed char, as on macOS, so that the macOS module's code runs its
# tests on the Mac's processor, under qemu-user (cmake/qemu-aarch64-run.sh).
#
#   scripts/install-macos-toolchain.sh --zig && cmake --preset arm64 && cmake --build --preset arm64
#
# The compilers are cmake/zig-linux-arm64.sh; the programs and modules link libc++ statically and
# need only the arm64 glibc of the Debian package libc6-arm64-cross, which the emulator loads.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-linux-arm64.sh cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-linux-arm64.sh c++)
find_program(CMAKE_AR llvm-ar-14 REQUIRED)
find_program(CMAKE_RANLIB llvm-ranlib-14 REQUIRED)

# The compiler checks compile without linking: zig builds the runtime a link needs for each
# optimisation level, and the checks' own (unoptimised) one would serve nothing else.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Headers and libraries never come from the build machine's /usr; its header-only and source-only
# dependencies are brought in by cmake/CrossDependencies.cmake.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest, add_test and gtest_discover_tests run the programs under qemu-user; cli_tests starts
# vantor-host through it as well (tests/CMakeLists.txt).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/qemu-aarch64-run.sh)
