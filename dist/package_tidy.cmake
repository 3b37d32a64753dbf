# Run by cpack on its staging tree just before the .deb is made. Debian keeps the licence in
# copyright alone, and drops the compiler's .comment and .note sections that plain strip leaves.
set(staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(REMOVE "${staged}/${CPACK_QUORVANE_DOCDIR}/LICENSE")
file(GLOB programs "${staged}/${CPACK_QUORVANE_BINDIR}/*")
foreach(program IN LISTS programs)
  execute_process(
    COMMAND ${CPACK_QUORVANE_STRIP} --remove-section=.comment --remove-section=.note ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
