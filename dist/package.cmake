# The Debian package, made by `cpack -G DEB` from what `cmake --install` puts in place. Its
# dependencies are read from the programs by dpkg-shlibdeps (dpkg-dev).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "the quorvane project")
set(CPACK_PACKAGE_CONTACT "${QUORVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML index page writer for a folder's files")
set(CPACK_PACKAGE_DESCRIPTION [=[
quorvane writes quorvane_index.html into a folder: a plain HTML page that
lists the folder's files, to publish the folder on the web or browse it
offline. The page has a header with the folder's path and the date, one
entry per file with a link, the last-modified date and time and the size,
optionally each picture inline, a total line and a footer.

Any file name is safe: links are percent-encoded and names escaped. The new
page replaces the old one only once complete, so a failed run keeps the
last good page.

The package holds the Qt window, quorvane, and the command-line tool
quorvane-index, which can also give every folder below a folder its own
page.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORVANE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening a finished page goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/package_tidy.cmake)
set(CPACK_QUORVANE_STRIP ${CMAKE_STRIP})
set(CPACK_QUORVANE_BINDIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_QUORVANE_DOCDIR ${CMAKE_INSTALL_DOCDIR})
include(CPack)
