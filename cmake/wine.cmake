# Tests of a Windows build run under Wine: every test program is started through wine-run, which
# gives them a Wine prefix of the build's own (made at the first run), a US-English locale and a
# fixed time zone.
find_program(QUORVANE_WINE64 wine64 PATHS /usr/lib/wine REQUIRED)
find_program(QUORVANE_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine REQUIRED)
find_program(QUORVANE_FLOCK flock REQUIRED)
set(QUORVANE_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${PROJECT_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)
