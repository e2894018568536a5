# The page script's files in the order they are inlined into the calculator page.
set(PLQ_CALCULATOR_SCRIPTS
  "${CMAKE_CURRENT_LIST_DIR}/engine.js"
  "${CMAKE_CURRENT_LIST_DIR}/numbers.js"
  "${CMAKE_CURRENT_LIST_DIR}/phase.js"
  "${CMAKE_CURRENT_LIST_DIR}/calendar.js"
  "${CMAKE_CURRENT_LIST_DIR}/form.js")
