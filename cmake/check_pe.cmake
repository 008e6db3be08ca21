# Fails unless the Windows module MODULE is an x64 DLL that exports c4d_main and nothing else and
# imports only Windows system DLLs: KERNEL32.dll and the C runtime (msvcrt.dll or the
# api-ms-win-crt-* set). A MinGW runtime DLL among the imports (libstdc++-6.dll, libgcc_s_*.dll,
# libwinpthread-1.dll) means the module would not load on a machine without MinGW.
#
#   cmake -DMODULE=build-windows/plugins/vantor/vantor.riz64 [-DOBJDUMP=x86_64-w64-mingw32-objdump] -P cmake/check_pe.cmake
#
# Reads the tables with objdump -p; runs on the build machine, not under Wine.
if(NOT MODULE)
  message(FATAL_ERROR "usage: cmake -DMODULE=FILE [-DOBJDUMP=PROGRAM] -P check_pe.cmake")
endif()
if(NOT EXISTS "${MODULE}")
  message(FATAL_ERROR "${MODULE} does not exist")
endif()
if(NOT OBJDUMP)
  find_program(OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
endif()

execute_process(COMMAND ${OBJDUMP} -p ${MODULE}
  OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} could not read ${MODULE}: ${dump_error}")
endif()
if(NOT dump MATCHES "file format pei-x86-64")
  message(FATAL_ERROR "${MODULE} is not a Windows x64 image")
endif()

# One list entry a line (semicolons in the dump would split lines, so they go first).
string(REPLACE ";" "," dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")

set(imports "")
set(exports "")
set(in_names FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*DLL Name: (.+)$")
    string(STRIP "${CMAKE_MATCH_1}" dll)
    list(APPEND imports "${dll}")
  elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names)
    if(line MATCHES "^[ \t]*\\[ *[0-9]+\\].* ([^ \t]+)[ \t]*$")
      list(APPEND exports "${CMAKE_MATCH_1}")
    else()
      set(in_names FALSE)
    endif()
  endif()
endforeach()

set(problems "")
if(NOT exports STREQUAL "c4d_main")
  string(REPLACE ";" ", " export_text "${exports}")
  list(APPEND problems "exports [${export_text}], expected only c4d_main")
endif()
if(NOT imports)
  list(APPEND problems "imports no DLL at all, which objdump should have shown")
endif()
set(foreign "")
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" name)
  if(NOT name MATCHES "^(kernel32\\.dll|msvcrt\\.dll|api-ms-win-crt-[a-z0-9-]+\\.dll)$")
    list(APPEND foreign "${dll}")
  endif()
endforeach()
if(foreign)
  string(REPLACE ";" ", " foreign_text "${foreign}")
  list(APPEND problems "imports [${foreign_text}], which are not Windows system DLLs")
endif()

string(REPLACE ";" ", " import_text "${imports}")
if(problems)
  string(REPLACE ";" "\n  " problem_text "${problems}")
  message(FATAL_ERROR "${MODULE}:\n  ${problem_text}\n  (imports: ${import_text})")
endif()
message(STATUS "${MODULE}: exports only c4d_main, imports ${import_text}")
