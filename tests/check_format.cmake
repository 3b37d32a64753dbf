# Fails when a C++ source of the project is not formatted as .clang-format says.
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
  ${SOURCE_DIR}/publish/*.cpp ${SOURCE_DIR}/publish/*.h
  ${SOURCE_DIR}/text/*.cpp ${SOURCE_DIR}/text/*.h
  ${SOURCE_DIR}/index/*.cpp ${SOURCE_DIR}/index/*.h
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h
  ${SOURCE_DIR}/window/*.cpp ${SOURCE_DIR}/window/*.h
  ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tests/*.h
  ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${sources}
  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format would change the files above; run clang-format -i on them")
endif()
