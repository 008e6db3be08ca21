# vantor-studio.js: the host library, the module and the studio's C API as one WebAssembly module,
# with res/ in its file system. SINGLE_FILE keeps the wasm inside the script: Node 20's fetch
# cannot read a file:// URL, and the page's one-file copy needs it there anyway (studio/build.mjs
# takes it out into vantor-studio.wasm for the served page). The memory starts large enough for
# large.sdf, so that building it does not grow it step by step, and stops at 1 GB, where a model too
# large for it fails as "memory ran out" within seconds.
add_executable(vantor-studio studio/studio.cpp)
target_link_libraries(vantor-studio PRIVATE vthost vantor_entry)
target_include_directories(vantor-studio PRIVATE src)
set(VANTOR_STUDIO_EXPORTS
  _vantor_start _vantor_script _vantor_output _vantor_error _vantor_open _vantor_records _vantor_open_record
  _vantor_budget _vantor_fits _vantor_set _vantor_press _vantor_delete _vantor_undo _vantor_budgets
  _vantor_open_document _vantor_save_document _vantor_material _vantor_link _vantor_materials
  _vantor_objects _vantor_counts
  _vantor_describe _vantor_parameters _vantor_events _vantor_export _vantor_bytes _malloc _free)
list(JOIN VANTOR_STUDIO_EXPORTS "," VANTOR_STUDIO_EXPORT_LIST)
target_link_options(vantor-studio PRIVATE
  -sMODULARIZE=1 -sEXPORT_NAME=VantorStudio -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sMAXIMUM_MEMORY=1GB
  -sENVIRONMENT=web,node -sFILESYSTEM=1 -sNODEJS_CATCH_EXIT=0 -sNODEJS_CATCH_REJECTION=0
  "-sEXPORTED_FUNCTIONS=${VANTOR_STUDIO_EXPORT_LIST}"
  "-sEXPORTED_RUNTIME_METHODS=ccall,cwrap,UTF8ToString,FS"
  "SHELL:--embed-file ${PROJECT_SOURCE_DIR}/res@/vantor/res")
file(GLOB_RECURSE VANTOR_STUDIO_RES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/res/*)
set_target_properties(vantor-studio PROPERTIES SUFFIX ".js" LINK_DEPENDS "${VANTOR_STUDIO_RES}")
