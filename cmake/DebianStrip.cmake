# SPDX-License-Identifier: MIT
# DebianStrip.cmake: CPack pre-build script. CPack has already stripped the
# staged programs; this drops the .comment and .note sections as well (the
# compiler and C runtime versions), as Debian's own packaging tools do.

find_program(BRISEL_OBJCOPY objcopy REQUIRED)
file(GLOB programs "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no programs staged under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(program IN LISTS programs)
  execute_process(COMMAND ${BRISEL_OBJCOPY} --remove-section=.comment --remove-section=.note
                          ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
