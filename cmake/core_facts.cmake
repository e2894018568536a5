# Facts the core defines once (shell/core/*.h) and the build needs too, read from the headers so
# that nothing is written down twice.
#   plq_core_string(<header> <constant> <variable>)
#     sets <variable> to the text of `inline constexpr char <constant>[] = "...";` in <header>
#     (a path below shell/core/).
function(plq_core_string header constant variable)
  set(path "${PROJECT_SOURCE_DIR}/shell/core/${header}")
  # Without ENCODING, file(STRINGS) drops every byte outside ASCII, and with it any Chinese text.
  file(STRINGS "${path}" lines ENCODING UTF-8
       REGEX "constexpr char ${constant}\\[\\] = \"[^\"]*\";")
  if(NOT lines MATCHES "\"([^\"]*)\"")
    message(FATAL_ERROR "${path} defines no ${constant}")
  endif()
  set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
endfunction()
