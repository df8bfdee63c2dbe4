# SPDX-License-Identifier: MIT
# Builds a MIME database from our type alone and checks that it maps *.lumo
# to application/x-lumoedit, as a desktop's database will after install.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/packages)
configure_file(${MIME_XML} ${WORK_DIR}/packages/lumoedit.xml COPYONLY)
# It warns on standard error that the folder is not one the desktop reads;
# only its status counts.
execute_process(COMMAND ${UPDATE_MIME_DATABASE} ${WORK_DIR} RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "update-mime-database refused ${MIME_XML} (status ${status}):\n${err}")
endif()
file(STRINGS ${WORK_DIR}/globs2 globs REGEX "application/x-lumoedit")
if(NOT globs MATCHES ":application/x-lumoedit:\\*\\.lumo")
  message(FATAL_ERROR "the MIME database does not map *.lumo to application/x-lumoedit: '${globs}'")
endif()
file(STRINGS ${WORK_DIR}/icons icons)
if(NOT icons MATCHES "application/x-lumoedit:application-x-lumoedit")
  message(FATAL_ERROR "the MIME type's icon is not application-x-lumoedit: '${icons}'")
endif()
