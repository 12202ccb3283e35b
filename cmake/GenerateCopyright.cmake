# SPDX-License-Identifier: MIT
# GenerateCopyright.cmake: writes the package's copyright file in Debian's
# machine-readable format (copyright-format 1.0) from LICENSE.
#
# Run with cmake -DLICENSE=... -DTEMPLATE=... -DOUTPUT=... -P. The template's
# @BRISEL_LICENSE_TEXT@ is replaced by LICENSE's lines, each indented by one
# space, an empty line written as " ." as the format requires.

file(READ ${LICENSE} text)
string(REGEX REPLACE "\n+$" "" text "${text}")
string(REPLACE "\n" "\n " text " ${text}")
# Twice: one pass leaves every second line of a run of empty lines.
foreach(pass 1 2)
  string(REPLACE "\n \n" "\n .\n" text "${text}")
endforeach()
set(BRISEL_LICENSE_TEXT "${text}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY NEWLINE_STYLE UNIX)
