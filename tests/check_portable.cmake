# Fails when a source of the engine (index/) does not compile for Windows with mingw-w64: the
# engine sees the system only through the platform headers, which show no POSIX types.
file(GLOB sources ${SOURCE_DIR}/index/*.cpp)
foreach(source ${sources})
  execute_process(
    COMMAND ${MINGW_CXX} -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror
            -I${SOURCE_DIR} -I${GENERATED_DIR} ${source}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${source} does not compile with ${MINGW_CXX}")
  endif()
endforeach()
