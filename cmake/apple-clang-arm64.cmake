# macOS build with Apple clang for Apple silicon, macOS 12.0 or later (the "macos" preset):
# vantor.dudi and vantorR2025.dudi, Mach-O bundles exporting only _c4d_main (source/exports.txt).
#
#   cmake --preset macos && cmake --build --preset macos && ctest --preset macos
#
# On an Intel Mac this builds arm64 all the same, but the tests then cannot run there.
set(CMAKE_C_COMPILER /usr/bin/clang)
set(CMAKE_CXX_COMPILER /usr/bin/clang++)
set(CMAKE_OSX_ARCHITECTURES arm64 CACHE STRING "Architectures of the macOS build")
set(CMAKE_OSX_DEPLOYMENT_TARGET 12.0 CACHE STRING "Oldest macOS the build runs on")
# Homebrew's packages (googletest, nlohmann-json) on Apple silicon.
list(APPEND CMAKE_PREFIX_PATH /opt/homebrew)
