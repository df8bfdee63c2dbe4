# SPDX-License-Identifier: MIT
# The desktop entry, the metainfo, the MIME type, the icons and the program
# name each other; a name changed in one place alone breaks the desktop's
# view of the program without any validator noticing.
set(errors "")
function(require text needle message)
  string(FIND "${text}" "${needle}" at)
  if(at EQUAL -1)
    set(errors "${errors}  ${message}\n" PARENT_SCOPE)
  endif()
endfunction()

file(READ ${SOURCE_DIR}/dist/${APP_ID}.desktop desktop)
file(READ ${SOURCE_DIR}/dist/${APP_ID}.mime.xml mime)
file(READ ${METAINFO} metainfo)
file(READ ${SOURCE_DIR}/app/main.cpp main)

string(REGEX MATCH "mime-type type=\"([^\"]+)\"" _ "${mime}")
set(type "${CMAKE_MATCH_1}")
string(REPLACE "/" "-" type_icon "${type}")
require("${desktop}" "\nMimeType=${type};\n" "the desktop entry does not open ${type}")
require("${metainfo}" "<mediatype>${type}</mediatype>" "the metainfo does not provide ${type}")
require("${mime}" "<icon name=\"${type_icon}\"/>" "the MIME type's icon is not ${type_icon}")
require("${desktop}" "\nIcon=${APP_ID}\n" "the desktop entry's icon is not ${APP_ID}")
require("${metainfo}" "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>"
        "the metainfo does not launch ${APP_ID}.desktop")
require("${metainfo}" "<id>${APP_ID}</id>" "the metainfo's id is not ${APP_ID}")

# The window must carry the names its desktop entry is found by: the X11
# window class (Qt takes it from the application name) and the Wayland app
# id (the desktop file name).
string(REGEX MATCH "setApplicationName\\(QStringLiteral\\(\"([^\"]+)\"\\)\\)" _ "${main}")
set(app_name "${CMAKE_MATCH_1}")
require("${desktop}" "\nStartupWMClass=${app_name}\n"
        "StartupWMClass is not the application name '${app_name}' that app/main.cpp sets")
require("${main}" "setDesktopFileName(QStringLiteral(\"${APP_ID}\"))"
        "app/main.cpp does not set the desktop file name ${APP_ID}")

foreach(icon apps/${APP_ID} mimetypes/${type_icon})
  foreach(size 16 24 32 48 64 128 256)
    if(NOT EXISTS "${SOURCE_DIR}/res/icons/hicolor/${size}x${size}/${icon}.png")
      string(APPEND errors "  no icon ${size}x${size}/${icon}.png\n")
    endif()
  endforeach()
  if(NOT EXISTS "${SOURCE_DIR}/res/icons/hicolor/scalable/${icon}.svg")
    string(APPEND errors "  no icon scalable/${icon}.svg\n")
  endif()
endforeach()

if(NOT errors STREQUAL "")
  message(FATAL_ERROR "The desktop files do not agree:\n${errors}")
endif()
