# The README's usage of vantor-host and its table of options are what `vantor-host --help` prints
# from the program's own table of options (host/cli/main.cpp), so the two cannot drift apart.
#
#   cmake -DHOST=build/bin/vantor-host -DREADME=README.md [-DUPDATE=ON] -P cmake/readme_usage.cmake
#
# Checks by default (fails when they differ); with UPDATE=ON, writes them into the README.
include(${CMAKE_CURRENT_LIST_DIR}/readme_block.cmake)

execute_process(COMMAND ${HOST} --help OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_QUIET)
# semicolons would split the text into a list; they are put back at the end (before the places
# below are found, which the longer text moves)
string(REPLACE ";" "<semicolon>" help "${help}")
string(FIND "${help}" "  Options:\n" options)
string(FIND "${help}" "  Script commands" commands)
if(NOT status EQUAL 0 OR options EQUAL -1 OR commands LESS options)
  message(FATAL_ERROR "${HOST} --help lists no options (${status})")
endif()
# the usage: its lines without "usage: " and the indent of the lines after the first
string(SUBSTRING "${help}" 0 ${options} usage)
string(REGEX MATCHALL "(usage: |       )vantor-host[^\n]*" lines "${usage}")
set(text "```\n")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^(usage: |       )" "" line "${line}")
  string(APPEND text "${line}\n")
endforeach()
# the options: a row each, "    OPTION VALUE  WHAT IT DOES"
math(EXPR length "${commands} - ${options}")
string(SUBSTRING "${help}" ${options} ${length} listed)
readme_table("${listed}" "| option | does |" table)
string(APPEND text "```\n\n${table}")
string(REPLACE "<semicolon>" ";" text "${text}")
readme_block(${README} "<!-- usage: vantor-host --help -->\n" "<!-- end of usage -->" "${text}"
  "usage of vantor-host" "what `vantor-host --help` prints: run this script with -DUPDATE=ON and commit the README")
