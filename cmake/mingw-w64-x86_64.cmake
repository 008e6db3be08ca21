# Cross build for Windows x64 on Debian with MinGW-w64 (packages g++-mingw-w64-x86-64-posix and
# binutils-mingw-w64-x86-64); the programs run under Wine (package wine64) through cmake/wine-run.sh.
#
#   cmake --preset windows
#
# Everything links its C and C++ runtime statically, so the module and the programs import only
# Windows system DLLs (KERNEL32.dll, msvcrt.dll) and need no MinGW DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VANTOR_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix flavour has std::thread and std::mutex; its winpthread is linked statically below.
set(CMAKE_C_COMPILER ${VANTOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTOR_MINGW_TRIPLE}-windres)
find_program(CMAKE_AR ${VANTOR_MINGW_TRIPLE}-gcc-ar-posix)
find_program(CMAKE_RANLIB ${VANTOR_MINGW_TRIPLE}-gcc-ranlib-posix)
find_program(CMAKE_OBJDUMP ${VANTOR_MINGW_TRIPLE}-objdump)

# Libraries, headers and packages come from the MinGW sysroot only, never from the build machine's
# /usr; the build machine's header-only and source-only dependencies are brought in by
# cmake/CrossDependencies.cmake.
set(CMAKE_FIND_ROOT_PATH /usr/${VANTOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(VANTOR_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${VANTOR_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${VANTOR_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${VANTOR_STATIC_RUNTIME}")
# Release images leave out the symbols and the debug information of the static runtime.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_RELEASE_INIT "-s")
  set(CMAKE_${kind}_LINKER_FLAGS_MINSIZEREL_INIT "-s")
endforeach()

# ctest, add_test and gtest_discover_tests run the .exe files under Wine, in a prefix of the
# build's own. Listing a test program under Wine takes a while, so tests are listed when ctest
# runs rather than after each link.
find_program(VANTOR_WINE NAMES wine wine64)
if(VANTOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
