# Compares ACTUAL with EXPECTED (vantor-host reports) with NODE running SCRIPT; skipped when the
# Linux build has written no report to compare with.
if(NOT EXISTS ${EXPECTED})
  message("skipped: no Linux report at ${EXPECTED} (run make test first)")
  return()
endif()
execute_process(COMMAND ${NODE} ${SCRIPT} ${EXPECTED} ${ACTUAL} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the reports differ")
endif()
