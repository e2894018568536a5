# The Windows packages: an installer (NSIS, from cmake/NSIS.template.in) and a ZIP.
#
# The installer installs for the current user only and asks for no administrator rights: the
# program into %LOCALAPPDATA%\Programs\plqcalc, a shortcut into the user's Start menu, and an entry
# into the user's "Apps & features" (HKCU). CPack's own template installs for all users, asks for
# administrator rights and writes to HKLM, hence a template of our own (CPack finds it in
# CMAKE_MODULE_PATH). makensis from Debian's nsis package builds it on Linux too.
include(signing)

set(CPACK_GENERATOR "NSIS;ZIP")
# The values below hold quotes, backslashes and NSIS lines: CPack must pass them on as they are.
set(CPACK_VERBATIM_VARIABLES ON)
# The ZIP unpacks into one folder; that setting is made for the ZIP alone.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/packaging_windows_generator.cmake")
# The packages carry the program exactly as it was built, tested and (for a release) signed:
# stripping it again would break a signature and restamp the file. The optimised builds are
# stripped by the linker (shell/win32/CMakeLists.txt).
set(CPACK_STRIP_FILES OFF)

# The program's name as its window shows it: the installer's name, the Start-menu shortcut's and
# the name in the list of installed programs.
set(CPACK_NSIS_PACKAGE_NAME "${PLQ_CAPTION}")
set(CPACK_NSIS_DISPLAY_NAME "${PLQ_CAPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "plqcalc")
# One key for every version, so an update replaces the entry instead of adding one.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "${PLQ_APPLICATION_ID}")
set(CPACK_PLQ_PROGRAM "plqcalc${CMAKE_EXECUTABLE_SUFFIX}")
set(CPACK_NSIS_INSTALLED_ICON_NAME "${CPACK_PLQ_PROGRAM}")
set(CPACK_NSIS_MUI_ICON "${PLQ_WINDOWS_ICON}")
set(CPACK_NSIS_MUI_UNIICON "${PLQ_WINDOWS_ICON}")
set(CPACK_NSIS_URL_INFO_ABOUT "${PROJECT_HOMEPAGE_URL}")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# Instead of the name and version of NSIS at the foot of every page. (Not CPack's own
# CPACK_NSIS_BRANDING_TEXT: it always adds /TRIM..., which makensis accepts only on Windows.)
set(CPACK_PLQ_BRANDING_TEXT "${PLQ_CAPTION} ${PROJECT_VERSION}")
# Windows' version resources take four numbers.
set(CPACK_PLQ_FILE_VERSION
  "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(CPACK_PLQ_COPYRIGHT "${PLQ_COPYRIGHT}")

# The page files the program writes next to itself while its window is open, and the lock file
# its copies share the folder by. The uninstaller removes them too: a program that was ended by
# force leaves them.
set(CPACK_PLQ_DELETE_PAGE_FILES "")
foreach(name IN ITEMS "${PLQ_CALCULATOR_PAGE_FILE}" "${PLQ_SIDE_PANEL_PAGE_FILE}"
                      "${PLQ_LOCK_FILE_NAME}")
  string(APPEND CPACK_PLQ_DELETE_PAGE_FILES "  Delete \"$INSTDIR\\${name}\"\n")
endforeach()

if(PLQ_SIGNING_CERT)
  set(CPACK_PLQ_SIGN_SETTINGS "${PLQ_SIGN_SETTINGS}")
  set(CPACK_PLQ_SIGN_SCRIPT "${PLQ_SIGN_SCRIPT}")
  # The installer, once CPack has made it.
  set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/codesign_packages.cmake")
  # The uninstaller, which makensis writes to a temporary file (%1) before packing it into the
  # installer.
  string(CONCAT CPACK_PLQ_NSIS_SIGN_UNINSTALLER "!uninstfinalize '"
    "\"${CMAKE_COMMAND}\" \"-DPLQ_SIGN_SETTINGS=${PLQ_SIGN_SETTINGS}\" \"-DPLQ_SIGN_FILE=%1\" "
    "-P \"${PLQ_SIGN_SCRIPT}\"' = 0")
else()
  set(CPACK_PLQ_NSIS_SIGN_UNINSTALLER "")
endif()
