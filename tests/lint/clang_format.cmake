# Fails when any tracked C++ file is not formatted as .clang-format says.
file(GLOB_RECURSE sources
  "${SOURCE_DIR}/shell/*.cc" "${SOURCE_DIR}/shell/*.h"
  "${SOURCE_DIR}/tools/*.cc" "${SOURCE_DIR}/tests/*.cc" "${SOURCE_DIR}/tests/*.h"
  "${SOURCE_DIR}/bench/*.cc")
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${sources} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format: the files above are not formatted (run clang-format -i)")
endif()
