# CPack runs this after making each package (CPACK_POST_BUILD_SCRIPTS, set by
# packaging_windows.cmake when a certificate is given) and before copying it to the build tree:
# signs every installer among the package files. The ZIP needs nothing: the program in it was
# signed when it was linked.
function(plq_sign_package package)
  set(PLQ_SIGN_SETTINGS "${CPACK_PLQ_SIGN_SETTINGS}")
  set(PLQ_SIGN_FILE "${package}")
  include("${CPACK_PLQ_SIGN_SCRIPT}")
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.exe$")
    message(STATUS "Signing ${package}")
    plq_sign_package("${package}")
  endif()
endforeach()
