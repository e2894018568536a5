# Signs one Windows file in place with osslsigncode (Authenticode, SHA-256, with the description
# and the address shown in the signature's details):
#   cmake -DPLQ_SIGN_SETTINGS=<settings> -DPLQ_SIGN_FILE=<file> -P codesign.cmake
# The settings file (written by signing.cmake) sets PLQ_SIGN_CERT, PLQ_SIGN_TOOL,
# PLQ_SIGN_DESCRIPTION, PLQ_SIGN_URL, PLQ_SIGN_TIMESTAMP_URL and PLQ_SIGN_CACHE; each may be given
# with -D instead. The password comes from the environment variable PLQ_SIGNING_PASSWORD, else
# from the entry PLQ_SIGNING_PASSWORD of the cache file PLQ_SIGN_CACHE; with neither, the
# certificate file must have none.
#
# When signing fails the file is removed: a build step that failed halfway would otherwise leave
# an unsigned file that the next build takes for finished, and a release could ship it.
cmake_minimum_required(VERSION 3.25)

if(PLQ_SIGN_SETTINGS)
  include("${PLQ_SIGN_SETTINGS}")
endif()
if(NOT PLQ_SIGN_FILE OR NOT EXISTS "${PLQ_SIGN_FILE}")
  message(FATAL_ERROR "codesign: no file to sign (PLQ_SIGN_FILE=${PLQ_SIGN_FILE})")
endif()
if(NOT PLQ_SIGN_TOOL)
  find_program(PLQ_SIGN_TOOL osslsigncode)
endif()

function(give_up reason)
  file(REMOVE "${PLQ_SIGN_FILE}" "${signed}")
  message(FATAL_ERROR "codesign: ${PLQ_SIGN_FILE} was not signed and has been removed: ${reason}")
endfunction()

set(signed "${PLQ_SIGN_FILE}.signing")
if(NOT PLQ_SIGN_TOOL)
  give_up("osslsigncode is missing")
endif()
if(NOT PLQ_SIGN_CERT OR NOT EXISTS "${PLQ_SIGN_CERT}")
  give_up("no certificate file (PLQ_SIGN_CERT=${PLQ_SIGN_CERT})")
endif()

if(DEFINED ENV{PLQ_SIGNING_PASSWORD})
  set(password "$ENV{PLQ_SIGNING_PASSWORD}")
elseif(PLQ_SIGN_CACHE AND EXISTS "${PLQ_SIGN_CACHE}")
  # (Without ENCODING, file(STRINGS) would drop every byte outside ASCII.)
  file(STRINGS "${PLQ_SIGN_CACHE}" entry ENCODING UTF-8 REGEX "^PLQ_SIGNING_PASSWORD(:[A-Z]+)?=")
  string(REGEX REPLACE "^[^=]*=" "" password "${entry}")
endif()

set(command "${PLQ_SIGN_TOOL}" sign -pkcs12 "${PLQ_SIGN_CERT}" -h sha256)
if(NOT "${PLQ_SIGN_DESCRIPTION}" STREQUAL "")
  list(APPEND command -n "${PLQ_SIGN_DESCRIPTION}")
endif()
if(NOT "${PLQ_SIGN_URL}" STREQUAL "")
  list(APPEND command -i "${PLQ_SIGN_URL}")
endif()
if(NOT "${PLQ_SIGN_TIMESTAMP_URL}" STREQUAL "")
  list(APPEND command -ts "${PLQ_SIGN_TIMESTAMP_URL}")
endif()
# The password goes through a file only its owner can read, never on a command line that any
# user can list. osslsigncode cannot read an empty password from a file: none is passed then.
set(secret_dir "${PLQ_SIGN_FILE}.password")
if(NOT "${password}" STREQUAL "")
  file(REMOVE_RECURSE "${secret_dir}")
  file(MAKE_DIRECTORY "${secret_dir}")
  file(CHMOD "${secret_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  file(WRITE "${secret_dir}/password" "${password}")
  list(APPEND command -readpass "${secret_dir}/password")
endif()
file(REMOVE "${signed}")
execute_process(COMMAND ${command} -in "${PLQ_SIGN_FILE}" -out "${signed}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE "${secret_dir}")
if(NOT result EQUAL 0 OR NOT EXISTS "${signed}")
  string(STRIP "${output}" output)
  give_up("osslsigncode failed (${result}): ${output}")
endif()
file(RENAME "${signed}" "${PLQ_SIGN_FILE}")
