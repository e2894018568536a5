# Facts the core defines once (shell/core/*.h) and the build needs too, read from the headers so
# that nothing is written down twice.
#   plq_core_string(<header> <constant> <variable>)
#     sets <variable> to the text of `inline constexpr char <constant>[] = "...";` in <header>
#     (a path below shell/core/).
function(plq_core_string header constant variable)
  set(path "${PROJECT_SOURCE_DIR}/shell/core/${header}")
  file(STRINGS "${path}" lines REGEX "constexpr char ${constant}\\[\\] = \"[^\"]*\";")
  if(NOT lines MATCHES "\"([^\"]*)\"")
    message(FATAL_ERROR "${path} defines no ${constant}")
  endif()
  set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
endfunction()

#   plq_core_define(<header> <macro> <variable>)
#     sets <variable> to the value of `#define <macro> <value>` in <header> (below shell/core/).
function(plq_core_define header macro variable)
  set(path "${PROJECT_SOURCE_DIR}/shell/core/${header}")
  file(STRINGS "${path}" lines REGEX "^#define ${macro} ")
  if(NOT lines MATCHES "^#define ${macro} ([^ ]+)")
    message(FATAL_ERROR "${path} defines no ${macro}")
  endif()
  set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
endfunction()
