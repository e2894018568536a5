# CPack reads this once for each package generator (CPACK_PROJECT_CONFIG_FILE, set by
# packaging_windows.cmake). The ZIP unpacks into one folder named after the package; the NSIS
# generator cannot take that setting and warns when it sees it.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
