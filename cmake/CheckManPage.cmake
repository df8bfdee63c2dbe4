# SPDX-License-Identifier: MIT
# Fails when mandoc's lint or groff's warnings say anything about the man
# page PAGE: what man(1) shows must render without a complaint.
set(complaints "")
if(MANDOC)
  execute_process(COMMAND ${MANDOC} -T lint -W style ${PAGE}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    string(APPEND complaints "mandoc -T lint (status ${status}):\n${out}${err}")
  endif()
endif()
if(GROFF)
  execute_process(COMMAND ${GROFF} -ww -z -man -t ${PAGE}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    string(APPEND complaints "groff -ww -z (status ${status}):\n${out}${err}")
  endif()
endif()
if(NOT complaints STREQUAL "")
  message(FATAL_ERROR "${PAGE}:\n${complaints}")
endif()
