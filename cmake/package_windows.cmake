# The Windows package: `cpack -G ZIP` makes korva-<version>-win32.zip in the
# 32-bit build and korva-<version>-win64.zip in the 64-bit build, each with
# the deliverables side by side and the entry points' header in include/
# (installed with the targets themselves), the examples and the README.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

# The deliverables go into the package without their debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korva)
set(CPACK_PACKAGE_VENDOR Korva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_PACKAGE_FILE_NAME korva-${PROJECT_VERSION}-win64)
else()
  set(CPACK_PACKAGE_FILE_NAME korva-${PROJECT_VERSION}-win32)
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Publishes report files, folders and users to a report server")
include(CPack)
