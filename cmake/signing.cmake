# Release signing of the Windows files (Authenticode, with osslsigncode): the program right after
# it is linked, and through packaging_windows.cmake the installer and its uninstaller.
#
#   PLQ_SIGNING_CERT      a PKCS#12 file holding the code-signing certificate and its key; empty
#                         (the default, unless the environment variable PLQ_SIGNING_CERT names one
#                         on the first configure) signs nothing and changes nothing
#   PLQ_SIGNING_PASSWORD  its password; the environment variable of that name wins, and is the
#                         better place, since the cache is a plain file in the build tree
#   PLQ_SIGNING_TIMESTAMP_URL  an RFC 3161 time-stamping service; a time-stamped signature stays
#                         valid after the certificate expires
#
# The signing itself is codesign.cmake, a script that reads its settings from
# ${PLQ_SIGN_SETTINGS} (written here), so that the certificate's path and the signature's texts
# never travel on a command line and the password is looked up only when a file is signed.
# Included wherever it is needed (shell/win32, packaging_windows.cmake); including it twice
# changes nothing.

set(PLQ_SIGNING_CERT "$ENV{PLQ_SIGNING_CERT}"
    CACHE FILEPATH "PKCS#12 file to sign the Windows program and installer with (empty: unsigned)")
set(PLQ_SIGNING_PASSWORD "" CACHE STRING
    "Password of PLQ_SIGNING_CERT (the environment variable PLQ_SIGNING_PASSWORD wins)")
set(PLQ_SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping service for the signatures")
mark_as_advanced(PLQ_SIGNING_PASSWORD PLQ_SIGNING_TIMESTAMP_URL)

set(PLQ_SIGN_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/codesign.cmake")
set(PLQ_SIGN_SETTINGS "${CMAKE_BINARY_DIR}/codesign_settings.cmake")

if(PLQ_SIGNING_CERT)
  if(NOT EXISTS "${PLQ_SIGNING_CERT}")
    message(FATAL_ERROR "PLQ_SIGNING_CERT: no file ${PLQ_SIGNING_CERT}")
  endif()
  find_program(PLQ_OSSLSIGNCODE osslsigncode REQUIRED)
  mark_as_advanced(PLQ_OSSLSIGNCODE)
endif()

# The program's name as its window shows it (PLQ_CAPTION) describes every signature.
# Rewritten only when a setting changes, so the program is linked (and signed) again exactly then.
file(CONFIGURE OUTPUT "${PLQ_SIGN_SETTINGS}" @ONLY CONTENT [[
# Written by CMake (cmake/signing.cmake): what codesign.cmake signs with. No password here.
set(PLQ_SIGN_CERT [==[@PLQ_SIGNING_CERT@]==])
set(PLQ_SIGN_TOOL [==[@PLQ_OSSLSIGNCODE@]==])
set(PLQ_SIGN_DESCRIPTION [==[@PLQ_CAPTION@]==])
set(PLQ_SIGN_URL [==[@PROJECT_HOMEPAGE_URL@]==])
set(PLQ_SIGN_TIMESTAMP_URL [==[@PLQ_SIGNING_TIMESTAMP_URL@]==])
set(PLQ_SIGN_CACHE [==[@CMAKE_BINARY_DIR@/CMakeCache.txt]==])
]])

#   plq_sign_after_build(<target>)
#     signs <target>'s file each time it is linked, when a certificate is given.
function(plq_sign_after_build target)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${PLQ_SIGN_SETTINGS}")
  if(NOT PLQ_SIGNING_CERT)
    return()
  endif()
  # A renewed certificate in the same file signs anew too.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${PLQ_SIGNING_CERT}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}" "-DPLQ_SIGN_SETTINGS=${PLQ_SIGN_SETTINGS}"
            "-DPLQ_SIGN_FILE=$<TARGET_FILE:${target}>" -P "${PLQ_SIGN_SCRIPT}"
    COMMENT "Signing ${target}"
    VERBATIM)
endfunction()
