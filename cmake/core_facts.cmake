# Facts the core defines once (shell/core/*.h) and the build needs too, read from the headers so
# that nothing is written down twice.
#   plq_source_string(<file> <constant> <variable>)
#     sets <variable> to the text of `inline constexpr char <constant>[] = "...";` in <file> (a
#     path below the project's folder).
function(plq_source_string file constant variable)
  set(path "${PROJECT_SOURCE_DIR}/${file}")
  # Without ENCODING, file(STRINGS) drops every byte outside ASCII, and with it any Chinese text.
  file(STRINGS "${path}" lines ENCODING UTF-8
       REGEX "constexpr char ${constant}\\[\\] = \"[^\"]*\";")
  if(NOT lines MATCHES "\"([^\"]*)\"")
    message(FATAL_ERROR "${path} defines no ${constant}")
  endif()
  set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
endfunction()

#   plq_core_string(<header> <constant> <variable>)
#     the same for a header below shell/core/.
function(plq_core_string header constant variable)
  plq_source_string("shell/core/${header}" ${constant} value)
  set(${variable} "${value}" PARENT_SCOPE)
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
