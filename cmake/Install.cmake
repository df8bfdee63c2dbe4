# SPDX-License-Identifier: MIT
# What `make install` and the package put where: the programs, their man
# pages, and for the editor the desktop entry, the AppStream metainfo, the
# MIME type of *.lumo files and the icons. Every path comes from
# GNUInstallDirs, so a packager can move them.

set(LUMO_APP_ID org.lumoedit.LumoEdit)
# The metainfo must name the screenshot by a web address; this is where
# docs/screenshot.png is published.
set(LUMO_SCREENSHOT_URL "https://lumoedit.org/screenshots/main-window.png"
    CACHE STRING "Web address of the screenshot named in the AppStream metainfo")

# The version comes from project(): the metainfo's release and the man pages'
# footers are made from it, as are `lumo --version` and the package.
configure_file(dist/${LUMO_APP_ID}.metainfo.xml.in ${PROJECT_BINARY_DIR}/dist/${LUMO_APP_ID}.metainfo.xml @ONLY)

# Man pages are installed gzipped (maximum compression, no name or time
# stamp inside, so the package is reproducible).
find_program(LUMO_GZIP gzip REQUIRED)
set(LUMO_MAN_PAGES lumo)
if(LUMO_BUILD_GUI)
  list(APPEND LUMO_MAN_PAGES lumoEdit)
endif()
set(LUMO_MAN_GZ)
foreach(page ${LUMO_MAN_PAGES})
  set(source ${PROJECT_SOURCE_DIR}/dist/man/${page}.1)
  set(configured ${PROJECT_BINARY_DIR}/dist/man/${page}.1)
  configure_file(${source} ${configured} @ONLY)
  add_custom_command(OUTPUT ${configured}.gz
    COMMAND ${LUMO_GZIP} -9 -n -c ${configured} > ${configured}.gz
    DEPENDS ${configured}
    COMMENT "Compressing the man page ${page}.1"
    VERBATIM)
  list(APPEND LUMO_MAN_GZ ${configured}.gz)
endforeach()
add_custom_target(lumo_man_pages ALL DEPENDS ${LUMO_MAN_GZ})
install(FILES ${LUMO_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(LUMO_BUILD_GUI)
  install(TARGETS lumoEdit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES dist/${LUMO_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_BINARY_DIR}/dist/${LUMO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES dist/${LUMO_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ${LUMO_APP_ID}.xml)
  install(DIRECTORY res/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

  # A desktop does not see new MIME types, desktop entries or icons until
  # their caches are rebuilt (until then a .lumo file with 10 entries passes
  # for a PCX image, whose first byte is 10 too). Only for an install to the
  # system: with DESTDIR (a package's staging folder) the package manager's
  # triggers do it on the target machine.
  set(LUMO_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR})
  install(CODE "set(LUMO_INSTALL_DATADIR \"${LUMO_INSTALL_DATADIR}\")")
  install(CODE [[
    if("$ENV{DESTDIR}" STREQUAL "")
      if(IS_ABSOLUTE "${LUMO_INSTALL_DATADIR}")
        set(data "${LUMO_INSTALL_DATADIR}")
      else()
        set(data "${CMAKE_INSTALL_PREFIX}/${LUMO_INSTALL_DATADIR}")
      endif()
      find_program(LUMO_UPDATE_MIME update-mime-database)
      find_program(LUMO_UPDATE_DESKTOP update-desktop-database)
      find_program(LUMO_UPDATE_ICONS gtk-update-icon-cache)
      if(LUMO_UPDATE_MIME)
        message(STATUS "Updating the MIME database in ${data}/mime")
        execute_process(COMMAND "${LUMO_UPDATE_MIME}" "${data}/mime")
      endif()
      if(LUMO_UPDATE_DESKTOP)
        message(STATUS "Updating the desktop entry cache in ${data}/applications")
        execute_process(COMMAND "${LUMO_UPDATE_DESKTOP}" -q "${data}/applications")
      endif()
      if(LUMO_UPDATE_ICONS AND (EXISTS "${data}/icons/hicolor/index.theme" OR EXISTS "${data}/icons/hicolor/icon-theme.cache"))
        message(STATUS "Updating the icon cache in ${data}/icons/hicolor")
        execute_process(COMMAND "${LUMO_UPDATE_ICONS}" -q -t -f "${data}/icons/hicolor")
      endif()
    endif()
  ]])
endif()

if(LUMO_BUILD_TESTS)
  include(cmake/DistTests.cmake)
endif()
