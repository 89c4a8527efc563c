# korva_version_resource(TARGET FILE_NAME DESCRIPTION): gives a Windows
# deliverable its version resource (product name, version, file description,
# original file name) from cmake/version.rc.in. Does nothing elsewhere.
function(korva_version_resource target file_name description)
  if(NOT WIN32)
    return()
  endif()
  set(KORVA_RC_FILE_NAME "${file_name}")
  set(KORVA_RC_DESCRIPTION "${description}")
  set(KORVA_RC_VERSION_COMMAS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  if(file_name MATCHES "\\.dll$")
    set(KORVA_RC_FILE_TYPE "0x2L")  # VFT_DLL
  else()
    set(KORVA_RC_FILE_TYPE "0x1L")  # VFT_APP
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
