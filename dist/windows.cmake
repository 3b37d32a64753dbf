# What ships for Windows: quorvane.exe and quorvane-index.exe, which need no other file, with the
# README and the licence, zipped by `cpack -G ZIP` as quorvane-VERSION-win64.zip; and the same in
# an installer, quorvane-VERSION-win64.msi, made by make_windows_msi.sh.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "the quorvane project")
set(zip_name quorvane-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${zip_name})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The zip and the installer made from this build, checked as scripts/package --windows checks the
# ones it ships; the installer on a virtual display, where the installed window starts.
if(BUILD_TESTING AND CMAKE_CROSSCOMPILING)
  find_program(QUORVANE_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
  set(zip_folder ${PROJECT_BINARY_DIR}/zip-check)
  add_test(NAME windows_zip
    COMMAND sh -c "\"$1\" -G ZIP -B \"$2\" >/dev/null && \"$3\" \"$2/$4.zip\" \"$5\" \"$6\""
            sh ${CMAKE_CPACK_COMMAND} ${zip_folder} ${CMAKE_CURRENT_SOURCE_DIR}/check_windows_zip.sh
            ${zip_name} ${CMAKE_CROSSCOMPILING_EMULATOR} ${QUORVANE_OBJDUMP}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR})

  find_program(QUORVANE_XVFB_RUN xvfb-run REQUIRED)
  set(msi ${PROJECT_BINARY_DIR}/${zip_name}.msi)
  add_test(NAME windows_msi
    COMMAND sh -c "\"$1\" \"$2\" \"$3\" && \"$4\" -a -s '-screen 0 1024x768x24' \"$5\" \"$3\" \"$6\" \"$7\" \"$8\""
            sh ${CMAKE_CURRENT_SOURCE_DIR}/make_windows_msi.sh ${PROJECT_BINARY_DIR} ${msi}
            ${QUORVANE_XVFB_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/check_windows_msi.sh
            ${CMAKE_CROSSCOMPILING_EMULATOR} ${QUORVANE_WINE_PREFIX}-display
            $<TARGET_FILE:quorvane_win32_window_tests>)
  # It counts what the prefix holds before and after; the window's tests fill the same prefix.
  set_tests_properties(windows_msi PROPERTIES RESOURCE_LOCK wine_display_prefix)
endif()
