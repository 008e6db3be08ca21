# The README's table of the molecule object's parameters is what `vantor-host --parameters` prints,
# so it cannot drift from the description resource it comes from.
#
#   cmake -DHOST=build/bin/vantor-host -DREADME=README.md [-DUPDATE=ON] -P cmake/readme_parameters.cmake
#
# Checks by default (fails when they differ); with UPDATE=ON, writes the table into the README.
set(begin_marker "<!-- parameters: vantor-host --parameters -->\n")
set(end_marker "<!-- end of parameters -->")

execute_process(COMMAND ${HOST} --parameters OUTPUT_VARIABLE table RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${HOST} --parameters failed (${status})")
endif()
file(READ ${README} readme)
string(FIND "${readme}" "${begin_marker}" begin)
string(FIND "${readme}" "${end_marker}" end)
if(begin EQUAL -1 OR end EQUAL -1 OR end LESS begin)
  message(FATAL_ERROR "${README} has no parameter table between '${begin_marker}' and '${end_marker}'")
endif()
string(LENGTH "${begin_marker}" length)
math(EXPR first "${begin} + ${length}")
math(EXPR count "${end} - ${first}")
string(SUBSTRING "${readme}" ${first} ${count} shown)
if(shown STREQUAL table)
  message(STATUS "the README's parameter table is up to date")
elseif(UPDATE)
  string(SUBSTRING "${readme}" 0 ${first} head)
  string(SUBSTRING "${readme}" ${end} -1 tail)
  file(WRITE ${README} "${head}${table}${tail}")
  message(STATUS "the README's parameter table was written")
else()
  message(FATAL_ERROR "the README's parameter table differs from what `vantor-host --parameters` prints: "
    "run `make readme-parameters` and commit the README")
endif()
