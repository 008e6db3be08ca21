# The checks of the macOS cross build, which run on the build machine (cmake/zig-macos-arm64.cmake
# provides llvm-nm): cmake/check_macho.mjs on both modules, and on small bundles that each break
# one of its rules, which must fail it with their own problem.

find_program(VANTOR_NODE NAMES node nodejs REQUIRED)
set(VANTOR_CHECK_MACHO ${VANTOR_NODE} ${PROJECT_SOURCE_DIR}/cmake/check_macho.mjs
  --stubs ${VANTOR_MACOS_SYSTEM_STUBS} --llvm-nm ${VANTOR_LLVM_NM})
foreach(module vantor vantorR2025)
  add_test(NAME exports.${module} COMMAND ${VANTOR_CHECK_MACHO} $<TARGET_FILE:${module}>)
endforeach()

# The small bundles: tests/data/macho/*.c compiled by Debian's clang (they include no header),
# linked by ld64.lld as the driver links a module, less what each case changes.
find_program(VANTOR_FIXTURE_CLANG NAMES clang-14 clang REQUIRED)
find_program(VANTOR_FIXTURE_LINKER ld64.lld-14 REQUIRED)
find_program(VANTOR_DD dd REQUIRED)
set(VANTOR_MACHO_DATA ${CMAKE_CURRENT_SOURCE_DIR}/data/macho)
set(VANTOR_MACHO_OUT ${CMAKE_CURRENT_BINARY_DIR}/macho)

function(vantor_macho_object name arch out)
  set(object ${VANTOR_MACHO_OUT}/${name}-${arch}.o)
  if(NOT TARGET vantor_macho_${name}_${arch})
    add_custom_command(OUTPUT ${object}
      COMMAND ${VANTOR_FIXTURE_CLANG} --target=${arch}-apple-macos12.0 -O1 -c ${VANTOR_MACHO_DATA}/${name}.c -o ${object}
      DEPENDS ${VANTOR_MACHO_DATA}/${name}.c VERBATIM)
    add_custom_target(vantor_macho_${name}_${arch} DEPENDS ${object})
  endif()
  set(${out} ${object} PARENT_SCOPE)
endfunction()

# vantor_macho_case(NAME EXPECTED [ARCH a] [KIND -bundle|-dylib] [MINOS v] [SIGN flag]
#                   [EXPORTS file] [OBJECTS name...] [STUBS tbd...|NONE] [FLAGS flag...] [CHANGE_AFTER_SIGNING])
# Links the bundle macho/NAME.dudi and adds the test check_macho.NAME, which passes when the
# check's output matches EXPECTED.
function(vantor_macho_case name expected)
  cmake_parse_arguments(CASE "CHANGE_AFTER_SIGNING" "ARCH;KIND;MINOS;SIGN;EXPORTS" "OBJECTS;STUBS;FLAGS" ${ARGN})
  foreach(field ARCH:arm64 KIND:-bundle MINOS:12.0 SIGN:-adhoc_codesign
                EXPORTS:${PROJECT_SOURCE_DIR}/source/exports.txt OBJECTS:entry STUBS:${VANTOR_MACOS_SYSTEM_STUBS})
    string(REGEX MATCH "^[A-Z]+" key "${field}")
    string(REGEX REPLACE "^[A-Z]+:" "" default "${field}")
    if(NOT CASE_${key})
      set(CASE_${key} ${default})
    endif()
  endforeach()
  if(CASE_STUBS STREQUAL "NONE")
    set(CASE_STUBS "")
  endif()
  set(objects "")
  set(targets "")
  foreach(source IN LISTS CASE_OBJECTS)
    vantor_macho_object(${source} ${CASE_ARCH} object)
    list(APPEND objects ${object})
    list(APPEND targets vantor_macho_${source}_${CASE_ARCH})
  endforeach()
  set(bundle ${VANTOR_MACHO_OUT}/${name}.dudi)
  set(change "")
  if(CASE_CHANGE_AFTER_SIGNING)
    # the reserved word of the Mach-O header, which no reader looks at, but the first page's hash covers
    set(change COMMAND sh -c "printf '\\001' | ${VANTOR_DD} of=${bundle} bs=1 seek=28 conv=notrunc status=none")
  endif()
  add_custom_command(OUTPUT ${bundle}
    COMMAND ${VANTOR_FIXTURE_LINKER} -arch ${CASE_ARCH} -platform_version macos ${CASE_MINOS} 12.0 ${CASE_KIND}
      ${CASE_SIGN} -exported_symbols_list ${CASE_EXPORTS} ${CASE_FLAGS} -o ${bundle} ${objects} ${CASE_STUBS}
    ${change}
    DEPENDS ${objects} ${targets} ${CASE_EXPORTS} ${CASE_STUBS} VERBATIM)
  add_custom_target(vantor_macho_${name} ALL DEPENDS ${bundle})
  add_test(NAME check_macho.${name} COMMAND ${VANTOR_CHECK_MACHO} ${bundle})
  set_tests_properties(check_macho.${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expected}")
endfunction()

vantor_macho_case(sound "macho/sound.dudi: arm64 bundle, macos 12.0, exports only _c4d_main")
vantor_macho_case(x86_64 "is a MH_MAGIC_64 X86_64 Mach-O, expected MH_MAGIC_64 ARM64" ARCH x86_64)
vantor_macho_case(dylib "is of type DYLIB, expected BUNDLE" KIND -dylib)
vantor_macho_case(second_export "exports \\[_c4d_main, _vantor_extra\\] in its symbol table"
  EXPORTS ${VANTOR_MACHO_DATA}/two_exports.txt OBJECTS entry second_export)
vantor_macho_case(second_library "loads \\[/usr/lib/libz.1.dylib\\], which are not"
  STUBS ${VANTOR_MACOS_SYSTEM_STUBS} ${VANTOR_MACHO_DATA}/libz.tbd)
vantor_macho_case(no_libsystem "does not load /usr/lib/libSystem.B.dylib" OBJECTS bare_entry STUBS NONE)
vantor_macho_case(minos_13 "has build versions \\[macos 13.0\\]" MINOS 13.0)
vantor_macho_case(version_min_command "has build versions \\[LC_VERSION_MIN_MACOSX\\]" MINOS 10.13)
vantor_macho_case(unsigned "has no code signature" SIGN -no_adhoc_codesign)
vantor_macho_case(changed_after_signing "hash of page 0 does not match: changed after signing" CHANGE_AFTER_SIGNING)
vantor_macho_case(flat_namespace "uses the flat namespace" FLAGS -flat_namespace)
vantor_macho_case(dynamic_lookup "_vantor_host_only \\(dynamically looked up\\)"
  OBJECTS entry host_call FLAGS -undefined dynamic_lookup)
vantor_macho_case(symbol_not_in_libsystem "_vantor_not_in_macos \\(not in libSystem\\)"
  OBJECTS entry missing_call STUBS ${VANTOR_MACHO_DATA}/libSystem-extra.tbd)
add_test(NAME check_macho.not_macho COMMAND ${VANTOR_CHECK_MACHO} ${PROJECT_SOURCE_DIR}/res/ptable.csv)
set_tests_properties(check_macho.not_macho PROPERTIES PASS_REGULAR_EXPRESSION "ptable.csv is not a Mach-O file")
