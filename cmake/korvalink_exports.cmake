# The exports of the engine library (korvalink.dll, libkorvalink.so): the one
# list from which korvalink.def (Windows), korvalink.map (the version script
# of Linux) and the tests' lists of the exports are made. Each entry is a
# name and, after ":", the bytes of its arguments on 32-bit Windows: the
# "@<bytes>" of the __stdcall function's decorated name, which the .def maps
# the undecorated export to. The prototypes are include/korvalink.h's.
set(KORVA_KORVALINK_EXPORTS
    doPublish:4
    doPublishA:28
    doPublishW:28
    doDeleteA:28
    doDeleteW:28
    TestFcn:0)

# The names alone: KORVA_KORVALINK_EXPORT_NAMES (a CMake list) and
# KORVA_KORVALINK_EXPORT_NAMES_CSV (comma-separated, as the tests take them).
set(KORVA_KORVALINK_EXPORT_NAMES ${KORVA_KORVALINK_EXPORTS})
list(TRANSFORM KORVA_KORVALINK_EXPORT_NAMES REPLACE ":.*$" "")
string(JOIN "," KORVA_KORVALINK_EXPORT_NAMES_CSV ${KORVA_KORVALINK_EXPORT_NAMES})

# korva_korvalink_export_files(DEF_OUT MAP_OUT): writes korvalink.def and
# korvalink.map into the build tree from the templates in src/actions and
# sets the two variables to their paths.
function(korva_korvalink_export_files def_out map_out)
  set(KORVA_DEF_EXPORTS "")
  set(KORVA_MAP_EXPORTS "")
  foreach(_entry ${KORVA_KORVALINK_EXPORTS})
    string(REPLACE ":" ";" _parts ${_entry})
    list(GET _parts 0 _name)
    list(GET _parts 1 _bytes)
    string(APPEND KORVA_DEF_EXPORTS "  ${_name} = ${_name}@${_bytes}\n")
    string(APPEND KORVA_MAP_EXPORTS "    ${_name};\n")
  endforeach()
  string(REGEX REPLACE "\n$" "" KORVA_DEF_EXPORTS "${KORVA_DEF_EXPORTS}")
  string(REGEX REPLACE "\n$" "" KORVA_MAP_EXPORTS "${KORVA_MAP_EXPORTS}")
  set(_dir ${PROJECT_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/src/actions/korvalink.def.in ${_dir}/korvalink.def @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/src/actions/korvalink.map.in ${_dir}/korvalink.map @ONLY)
  set(${def_out} ${_dir}/korvalink.def PARENT_SCOPE)
  set(${map_out} ${_dir}/korvalink.map PARENT_SCOPE)
endfunction()
