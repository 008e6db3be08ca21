# The README's generated blocks: text between two markers that a command of vantor-host prints.
#
# readme_table(TEXT HEADING OUT) sets OUT to a Markdown table with the two columns of HEADING, a row
# for each line "    FIRST COLUMN  SECOND COLUMN" of TEXT (the first column in backquotes, its |s
# escaped as Markdown needs).
#
# readme_block(README BEGIN END TEXT WHAT FIX) checks that the README holds TEXT between the markers
# BEGIN and END (fails when it differs, naming WHAT and how to FIX it); with UPDATE=ON, it writes
# TEXT there instead.
function(readme_block readme begin_marker end_marker text what fix)
  file(READ ${readme} content)
  string(FIND "${content}" "${begin_marker}" begin)
  string(FIND "${content}" "${end_marker}" end)
  if(begin EQUAL -1 OR end EQUAL -1 OR end LESS begin)
    message(FATAL_ERROR "${readme} has no ${what} between '${begin_marker}' and '${end_marker}'")
  endif()
  string(LENGTH "${begin_marker}" length)
  math(EXPR first "${begin} + ${length}")
  math(EXPR count "${end} - ${first}")
  string(SUBSTRING "${content}" ${first} ${count} shown)
  if(shown STREQUAL text)
    message(STATUS "the README's ${what} is up to date")
  elseif(UPDATE)
    string(SUBSTRING "${content}" 0 ${first} head)
    string(SUBSTRING "${content}" ${end} -1 tail)
    file(WRITE ${readme} "${head}${text}${tail}")
    message(STATUS "the README's ${what} was written")
  else()
    message(FATAL_ERROR "the README's ${what} differs from ${fix}")
  endif()
endfunction()

function(readme_table text heading out)
  string(REGEX MATCHALL "\n    [^\n]+" lines "${text}")
  set(table "${heading}\n|---|---|\n")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^\n    (([^ ]+ )*[^ ]+)  +(.*)$" row "${line}")
    string(REPLACE "|" "\\|" first "${CMAKE_MATCH_1}")
    string(REPLACE "|" "\\|" second "${CMAKE_MATCH_3}")
    string(APPEND table "| `${first}` | ${second} |\n")
  endforeach()
  set(${out} "${table}" PARENT_SCOPE)
endfunction()
