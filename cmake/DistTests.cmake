# SPDX-License-Identifier: MIT
# Checks of what is installed beside the programs, with the tools a
# distribution checks them with; each runs when its tool is installed
# (`make` installs them).

find_program(LUMO_APPSTREAMCLI appstreamcli)
find_program(LUMO_DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(LUMO_UPDATE_MIME_DATABASE update-mime-database)
find_program(LUMO_MANDOC mandoc)
find_program(LUMO_GROFF groff)

if(LUMO_APPSTREAMCLI)
  add_test(NAME Dist.MetainfoValidates
    COMMAND ${LUMO_APPSTREAMCLI} validate --no-net --explain ${PROJECT_BINARY_DIR}/dist/${LUMO_APP_ID}.metainfo.xml)
endif()
if(LUMO_DESKTOP_FILE_VALIDATE)
  add_test(NAME Dist.DesktopEntryValidates
    COMMAND ${LUMO_DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/dist/${LUMO_APP_ID}.desktop)
  # desktop-file-validate passes warnings; a warning is a fault here.
  set_tests_properties(Dist.DesktopEntryValidates PROPERTIES FAIL_REGULAR_EXPRESSION "warning|error")
endif()
if(LUMO_UPDATE_MIME_DATABASE)
  add_test(NAME Dist.MimeTypeMatchesLumoFiles
    COMMAND ${CMAKE_COMMAND} -DUPDATE_MIME_DATABASE=${LUMO_UPDATE_MIME_DATABASE}
      -DMIME_XML=${PROJECT_SOURCE_DIR}/dist/${LUMO_APP_ID}.mime.xml
      -DWORK_DIR=${PROJECT_BINARY_DIR}/dist/mime-test
      -P ${PROJECT_SOURCE_DIR}/cmake/CheckMimeType.cmake)
endif()
if(LUMO_MANDOC OR LUMO_GROFF)
  foreach(page ${LUMO_MAN_PAGES})
    add_test(NAME Dist.ManPageLint.${page}
      COMMAND ${CMAKE_COMMAND} -DMANDOC=${LUMO_MANDOC} -DGROFF=${LUMO_GROFF}
        -DPAGE=${PROJECT_BINARY_DIR}/dist/man/${page}.1
        -P ${PROJECT_SOURCE_DIR}/cmake/CheckManPage.cmake)
  endforeach()
endif()
add_test(NAME Dist.NamesAgree
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DAPP_ID=${LUMO_APP_ID}
    -DMETAINFO=${PROJECT_BINARY_DIR}/dist/${LUMO_APP_ID}.metainfo.xml
    -P ${PROJECT_SOURCE_DIR}/cmake/CheckDistNames.cmake)

# One version, from project(), in what each program says.
add_test(NAME Dist.VersionOfLumo COMMAND lumo --version)
set_tests_properties(Dist.VersionOfLumo PROPERTIES PASS_REGULAR_EXPRESSION "^lumo ${PROJECT_VERSION}\n$")
