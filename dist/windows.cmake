# What ships for Windows: quorvane-index.exe, which needs no other file, with the README and the
# licence, zipped by `cpack -G ZIP` as quorvane-index-VERSION-win64.zip.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvane-index)
set(CPACK_PACKAGE_VENDOR "the quorvane project")
set(zip_name quorvane-index-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${zip_name})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The zip made from this build, checked as scripts/package --windows checks the one it ships.
if(BUILD_TESTING AND CMAKE_CROSSCOMPILING)
  find_program(QUORVANE_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
  set(zip_folder ${PROJECT_BINARY_DIR}/zip-check)
  add_test(NAME windows_zip
    COMMAND sh -c "\"$1\" -G ZIP -B \"$2\" >/dev/null && \"$3\" \"$2/$4.zip\" \"$5\" \"$6\""
            sh ${CMAKE_CPACK_COMMAND} ${zip_folder} ${CMAKE_CURRENT_SOURCE_DIR}/check_windows_zip.sh
            ${zip_name} ${CMAKE_CROSSCOMPILING_EMULATOR} ${QUORVANE_OBJDUMP}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
endif()
