# The README's table of the script's commands is what `vantor-host --help` lists from the script's
# own table of commands (host/src/script/script.cpp), so the two cannot drift apart.
#
#   cmake -DHOST=build/bin/vantor-host -DREADME=README.md [-DUPDATE=ON] -P cmake/readme_script.cmake
#
# Checks by default (fails when they differ); with UPDATE=ON, writes the table into the README.
include(${CMAKE_CURRENT_LIST_DIR}/readme_block.cmake)

execute_process(COMMAND ${HOST} --help OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_QUIET)
string(FIND "${help}" "Script commands" at)
if(NOT status EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "${HOST} --help lists no script commands (${status})")
endif()
# a line per command, "    USAGE  WHAT IT DOES": a row per command
string(SUBSTRING "${help}" ${at} -1 help)
string(REPLACE ";" "<semicolon>" help "${help}")
readme_table("${help}" "| command | does |" table)
string(REPLACE "<semicolon>" ";" table "${table}")
readme_block(${README} "<!-- script commands: vantor-host --help -->\n" "<!-- end of script commands -->" "${table}"
  "table of script commands" "what `vantor-host --help` lists: run this script with -DUPDATE=ON and commit the README")
