# Checks of the Windows deliverables, as ctest tests labelled "windows", in
# every Windows build, with or without its test suites: each imports only
# DLLs that Windows ships (an installer extracts a custom-action DLL alone
# into a temporary folder), and the libraries export exactly their entry
# points, undecorated. objdump runs on the build machine, not under wine, so
# the checks hold on a machine that cannot run the deliverables.
enable_testing()
set(_exports_korvalink ${KORVA_KORVALINK_EXPORT_NAMES_CSV})  # cmake/korvalink_exports.cmake
set(_exports_korva_tools_entry_stub doPublishA,doDeleteA)
set(_exports_korvaserver_dll DllCanUnloadNow,DllGetClassObject,DllRegisterServer,DllUnregisterServer)
foreach(_target korvapush korvadrop korvalink korvaserver korvaserver_dll korva_tools_entry_stub)
  if(NOT TARGET ${_target})
    continue()
  endif()
  set(_exports)
  if(DEFINED _exports_${_target})
    set(_exports "-DEXPORTS=${_exports_${_target}}")
  endif()
  add_test(NAME WindowsDeliverable.${_target}
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFILE=$<TARGET_FILE:${_target}>
                   ${_exports} -P ${PROJECT_SOURCE_DIR}/cmake/check_windows_imports.cmake)
  set_tests_properties(WindowsDeliverable.${_target} PROPERTIES LABELS windows)
endforeach()
