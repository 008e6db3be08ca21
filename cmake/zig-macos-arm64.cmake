# Cross build for macOS arm64 (12.0 and later) on Debian, the "macos-cross" preset: zig's clang
# compiles, Debian's ld64.lld links (cmake/zig-macos-arm64.sh), with the toolchain that
# scripts/install-macos-toolchain.sh puts in .toolchains/macos-arm64/.
#
#   scripts/install-macos-toolchain.sh && cmake --preset macos-cross && cmake --build --preset macos-cross
#
# The modules and the programs link libc++ statically and load only /usr/lib/libSystem.B.dylib.
# Nothing built here can run on Debian: the tests are built but not registered, and ctest runs the
# checks of cmake/check_macho.mjs instead.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)

get_filename_component(VANTOR_MACOS_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/../.toolchains/macos-arm64 ABSOLUTE)
if(NOT EXISTS ${VANTOR_MACOS_TOOLCHAIN}/ready)
  message(FATAL_ERROR "No macOS arm64 toolchain in ${VANTOR_MACOS_TOOLCHAIN}: run scripts/install-macos-toolchain.sh (make macos does)")
endif()
# the stub the link used, against which the check tells what libSystem provides
set(VANTOR_MACOS_SYSTEM_STUBS ${VANTOR_MACOS_TOOLCHAIN}/lib/libSystem.tbd)

set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-macos-arm64.sh cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-macos-arm64.sh c++)
find_program(CMAKE_AR llvm-ar-14 REQUIRED)
find_program(CMAKE_RANLIB llvm-ranlib-14 REQUIRED)
find_program(CMAKE_INSTALL_NAME_TOOL llvm-install-name-tool-14 REQUIRED)
find_program(VANTOR_LLVM_NM llvm-nm-14 REQUIRED)
# The target, the oldest macOS and the architecture are the driver's; CMake adds none of its own.
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)

# The compiler checks compile without linking: a link needs objects (see the driver).
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Headers and libraries never come from the build machine's /usr; its header-only and source-only
# dependencies are brought in by cmake/CrossDependencies.cmake.
set(CMAKE_FIND_ROOT_PATH ${VANTOR_MACOS_TOOLCHAIN})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
