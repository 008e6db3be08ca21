# Dependencies of a cross build (Windows or macOS on Debian), taken from the build machine without
# putting its /usr/include on the cross compiler's include path:
#   nlohmann-json  header-only: its nlohmann/ folder is copied into the build tree and offered as
#                  the package nlohmann_json, so host/'s find_package(nlohmann_json) finds it.
#   GoogleTest     built from source (Debian's /usr/src/googletest), giving GTest::gtest and
#                  GTest::gtest_main, so tests/'s find_package(GTest) is not needed.
# Native builds use the installed packages instead and never read this file.

set(VANTOR_NLOHMANN_JSON_INCLUDE /usr/include CACHE PATH "Folder holding nlohmann/json.hpp")
set(VANTOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")

# nlohmann-json
set(_vantor_json_header ${VANTOR_NLOHMANN_JSON_INCLUDE}/nlohmann/json.hpp)
if(NOT EXISTS ${_vantor_json_header})
  message(FATAL_ERROR "No ${_vantor_json_header}: install nlohmann-json3-dev (make deps) or set VANTOR_NLOHMANN_JSON_INCLUDE")
endif()
set(_vantor_json_version 0.0.0)
foreach(_header detail/abi_macros.hpp json.hpp)
  if(EXISTS ${VANTOR_NLOHMANN_JSON_INCLUDE}/nlohmann/${_header})
    file(STRINGS ${VANTOR_NLOHMANN_JSON_INCLUDE}/nlohmann/${_header} _lines
      REGEX "^#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) +[0-9]+")
    if(_lines)
      foreach(_part MAJOR MINOR PATCH)
        string(REGEX REPLACE ".*NLOHMANN_JSON_VERSION_${_part} +([0-9]+).*" "\\1" _json_${_part} "${_lines}")
      endforeach()
      set(_vantor_json_version ${_json_MAJOR}.${_json_MINOR}.${_json_PATCH})
      break()
    endif()
  endif()
endforeach()

set(_vantor_json_root ${CMAKE_BINARY_DIR}/_deps/nlohmann_json)
file(COPY ${VANTOR_NLOHMANN_JSON_INCLUDE}/nlohmann DESTINATION ${_vantor_json_root}/include)
file(WRITE ${_vantor_json_root}/nlohmann_jsonConfig.cmake
  "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
  "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
  "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
  "    INTERFACE_INCLUDE_DIRECTORIES \"${_vantor_json_root}/include\")\n"
  "endif()\n")
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${_vantor_json_root}/nlohmann_jsonConfigVersion.cmake
  VERSION ${_vantor_json_version} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
set(nlohmann_json_DIR ${_vantor_json_root} CACHE PATH "nlohmann_json package of the cross build" FORCE)

# GoogleTest
if(VANTOR_TESTS)
  if(NOT EXISTS ${VANTOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest source in ${VANTOR_GOOGLETEST_SOURCE}: install googletest (make deps) or set VANTOR_GOOGLETEST_SOURCE")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${VANTOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  foreach(_target gtest gtest_main gmock gmock_main)
    # GoogleTest brings its own warning flags; the project's -Werror set is not for it.
    # Its headers are system headers to the tests, as the installed ones are in a native build.
    set_target_properties(${_target} PROPERTIES COMPILE_OPTIONS ""
      INTERFACE_SYSTEM_INCLUDE_DIRECTORIES $<TARGET_PROPERTY:${_target},INTERFACE_INCLUDE_DIRECTORIES>)
    if(NOT TARGET GTest::${_target})
      add_library(GTest::${_target} ALIAS ${_target})
    endif()
  endforeach()
endif()
