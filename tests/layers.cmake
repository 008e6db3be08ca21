# The host library's layers, held by its objects and its sources: a folder of host/src may use
# (call, include) only itself and the folders of lower layers, and nothing of vantor-host's.
#   cmake -DNM=nm -DOBJECTS=<build>/host/CMakeFiles -DSOURCES=<source>/host/src -P tests/layers.cmake
# Each symbol an object leaves undefined is looked up among the symbols the library's and the
# program's objects define; one defined only higher up (inline and template code is defined in
# many objects: one definition at or below is enough) fails the check, naming both objects.

# The layers from the lowest; folders of one layer may not use each other.
set(layers "base" "collections resources" "scene" "description documents" "tables" "modules" "export" "convert"
    "script" "cli")
set(rank 0)
foreach(layer IN LISTS layers)
  string(REPLACE " " ";" folders "${layer}")
  foreach(folder IN LISTS folders)
    set(rank_${folder} ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

file(GLOB_RECURSE library_objects "${OBJECTS}/vthost.dir/src/*.o")
file(GLOB program_objects "${OBJECTS}/vantor-host.dir/cli/*.o")
if(NOT library_objects OR NOT program_objects)
  message(FATAL_ERROR "no objects under ${OBJECTS}: build vthost and vantor-host first")
endif()

# The folder an object or a source belongs to.
function(folder_of path out)
  if(path MATCHES "/cli/")
    set(${out} cli PARENT_SCOPE)
  else()
    string(REGEX REPLACE ".*/src/([a-z]+)/[^/]+$" "\\1" folder "${path}")
    set(${out} ${folder} PARENT_SCOPE)
  endif()
endfunction()

set(failures "")

# Every symbol defined, with the lowest rank of a folder that defines it.
foreach(object IN LISTS library_objects program_objects)
  folder_of("${object}" folder)
  if(NOT DEFINED rank_${folder})
    list(APPEND failures "${object}: the folder ${folder} is in no layer of tests/layers.cmake")
    continue()
  endif()
  execute_process(COMMAND ${NM} --defined-only -P "${object}" OUTPUT_VARIABLE defined RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${defined}")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^[^ ]+ [A-Z]" kind "${line}")
    if(NOT kind MATCHES " [TDBRVWu]$")
      continue()
    endif()
    string(REGEX REPLACE " .*" "" symbol "${line}")
    string(MAKE_C_IDENTIFIER "${symbol}" key)
    if(NOT DEFINED lowest_${key} OR rank_${folder} LESS lowest_${key})
      set(lowest_${key} ${rank_${folder}})
      set(where_${key} "${object}")
    endif()
  endforeach()
endforeach()

# Every symbol used, against where it is defined.
foreach(object IN LISTS library_objects)
  folder_of("${object}" folder)
  execute_process(COMMAND ${NM} --undefined-only -P "${object}" OUTPUT_VARIABLE used)
  string(REGEX MATCHALL "[^\n]+" lines "${used}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE " .*" "" symbol "${line}")
    string(MAKE_C_IDENTIFIER "${symbol}" key)
    if(DEFINED lowest_${key} AND NOT lowest_${key} LESS rank_${folder})
      folder_of("${where_${key}}" above)
      if(NOT above STREQUAL folder)
        list(APPEND failures "${object} (${folder}) uses ${symbol}, defined in ${where_${key}} (${above})")
      endif()
    endif()
  endforeach()
endforeach()

# Every include of a folder's header, by its path under src/.
file(GLOB_RECURSE sources "${SOURCES}/*.cpp" "${SOURCES}/*.h")
foreach(source IN LISTS sources)
  folder_of("${source}" folder)
  file(STRINGS "${source}" includes REGEX "^#include \"[a-z]+/")
  foreach(include IN LISTS includes)
    string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" included "${include}")
    if(included STREQUAL "vthost" OR included STREQUAL folder)
      continue()
    endif()
    if(NOT DEFINED rank_${included} OR NOT rank_${included} LESS rank_${folder})
      list(APPEND failures "${source} (${folder}) includes ${include}")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "a layer uses one above it or beside it:\n${text}")
endif()
message(STATUS "every folder of host/src uses only those below it")
