# Packages: a .deb on Linux (packaging_deb.cmake), an installer and a ZIP on Windows
# (packaging_windows.cmake). Each target directory adds its own install() rules.
set(CPACK_PACKAGE_NAME "plqcalc")
set(CPACK_PACKAGE_VENDOR "plqcalc")
set(CPACK_PACKAGE_CONTACT "plqcalc <plqcalc@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION} (${PLQ_CAPTION})")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
if(WIN32)
  include(packaging_windows)
else()
  include(packaging_deb)
endif()
include(CPack)
