# The Debian package, as lintian expects a package (tests/package checks it): a Debian changelog and
# a machine-readable copyright file, a manual page (data/), a stripped hardened binary,
# dependencies from dpkg-shlibdeps. A native package: the makers package it themselves, so the
# version has no Debian revision.
set(CPACK_GENERATOR "DEB")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop entry's Utility category.
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# xdg-open opens the menu's pages and the promotional page; the window's texts are Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Whatever the packager's umask, the package's folders and files get the usual modes.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The first line of the description is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
A small desktop program in Simplified Chinese. The user enters the first
day of her last period and her shortest and longest cycle; the program
draws the calendars of that month and the next, with every day coloured as
menstrual (orange), safe (green) or dangerous, that is the ovulation
period (red), and shows a short advice text for the day under the pointer.
.
A side panel shows product recommendations from an online shopping
service, and closing the window opens a promotional page in the web
browser.]])

# The package's own documents, for the .deb only (component "debian", left out of a plain
# `cmake --install`): the changelog (in Debian's format, gzip -9n for equal bytes from equal text)
# and the DEP-5 copyright file holding the licence.
set(deb_dir "${PROJECT_BINARY_DIR}/debian")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C date -u -R -d "${PLQ_RELEASE_DATE}"
  OUTPUT_VARIABLE PLQ_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
configure_file("${PROJECT_SOURCE_DIR}/data/debian/changelog.in" "${deb_dir}/changelog" @ONLY)

string(REGEX REPLACE "^Copyright \\(c\\) " "" PLQ_COPYRIGHT_HOLDERS "${PLQ_COPYRIGHT}")
# The licence's text without its title and copyright line, indented as DEP-5 wants it.
file(READ "${PLQ_LICENSE_FILE}" license)
string(FIND "${license}" "Permission is hereby granted" start)
string(SUBSTRING "${license}" ${start} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " PLQ_LICENSE_TEXT " ${license}")
configure_file("${PROJECT_SOURCE_DIR}/data/debian/copyright.in" "${deb_dir}/copyright" @ONLY)

add_custom_command(
  OUTPUT "${deb_dir}/changelog.gz"
  COMMAND "${PLQ_GZIP}" -9nkf "${deb_dir}/changelog"
  DEPENDS "${deb_dir}/changelog"
  VERBATIM)
add_custom_target(plq_deb_documents ALL DEPENDS "${deb_dir}/changelog.gz")

include(GNUInstallDirs)
install(FILES "${deb_dir}/copyright" "${deb_dir}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}" COMPONENT debian EXCLUDE_FROM_ALL)
# Everything a plain install holds, then the package's own documents.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/"
  "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")
