# What ships for Windows: quorvane-index.exe, which needs no other file, with the README and the
# licence, zipped by `cpack -G ZIP` as quorvane-index-VERSION-win64.zip.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvane-index)
set(CPACK_PACKAGE_VENDOR "the quorvane project")
set(CPACK_PACKAGE_FILE_NAME quorvane-index-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
