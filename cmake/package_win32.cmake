# The Windows package: `cpack -G ZIP` in build-win32 makes
# korva-<version>-win32.zip with the deliverables side by side (installed by
# the targets themselves), the examples and the README.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

# The deliverables go into the package without their debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korva)
set(CPACK_PACKAGE_VENDOR Korva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME korva-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Publishes report files, folders and users to a report server")
include(CPack)
