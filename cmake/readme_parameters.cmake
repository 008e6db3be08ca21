# The README's table of the molecule object's parameters is what `vantor-host --parameters` prints,
# so it cannot drift from the description resource it comes from.
#
#   cmake -DHOST=build/bin/vantor-host -DREADME=README.md [-DUPDATE=ON] -P cmake/readme_parameters.cmake
#
# Checks by default (fails when they differ); with UPDATE=ON, writes the table into the README.
include(${CMAKE_CURRENT_LIST_DIR}/readme_block.cmake)

execute_process(COMMAND ${HOST} --parameters OUTPUT_VARIABLE table RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${HOST} --parameters failed (${status})")
endif()
readme_block(${README} "<!-- parameters: vantor-host --parameters -->\n" "<!-- end of parameters -->" "${table}"
  "parameter table" "what `vantor-host --parameters` prints: run `make readme-parameters` and commit the README")
