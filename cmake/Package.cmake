# SPDX-License-Identifier: MIT
# `make package`: a Debian package of everything `make install` installs,
# built by CPack. Its dependencies are computed from the binaries
# (dpkg-shlibdeps, from dpkg-dev).

set(LUMO_PACKAGE_MAINTAINER "The lumoEdit developers <developers@lumoedit.org>"
    CACHE STRING "Maintainer field of the Debian package")

# Debian keeps the copyright (in its machine-readable format) and the
# changelog, gzipped, in the package's documentation folder.
set(LUMO_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/lumoedit)
configure_file(dist/debian/changelog.in ${PROJECT_BINARY_DIR}/dist/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/dist/debian/changelog.gz
  COMMAND ${LUMO_GZIP} -9 -n -c ${PROJECT_BINARY_DIR}/dist/debian/changelog > ${PROJECT_BINARY_DIR}/dist/debian/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/dist/debian/changelog
  VERBATIM)
add_custom_target(lumo_package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/dist/debian/changelog.gz)
install(FILES dist/debian/copyright ${PROJECT_BINARY_DIR}/dist/debian/changelog.gz DESTINATION ${LUMO_PACKAGE_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumoedit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The lumoEdit developers")
set(CPACK_PACKAGE_CONTACT "${LUMO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the localization entry files of a game")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installs into the staging folder through DESTDIR, which also tells the
# install step not to rebuild this machine's desktop caches.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary on the first line; this is the text beneath it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "lumoEdit opens a game's localization entry file (.lumo) and shows its
entries as a tree: each entry's key name, its text and its optional extra
text. Entries can be appended, removed and moved, and the list is saved back
in the same binary format, byte for byte. Files of a million entries open in
a moment.
.
The command-line companion lumo checks entry files and moves their entries
to and from JSON, CSV and the translators' formats (PO, XLIFF).")
include(CPack)
