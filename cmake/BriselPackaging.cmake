# SPDX-License-Identifier: MIT
# BriselPackaging.cmake: the Debian package, built by CPack (`make package`).
#
# The package holds what the install rules install under the /usr prefix. Its
# version is the project version, the one --version prints; its library
# dependencies come from dpkg-shlibdeps on the stripped programs. The package
# has no maintainer scripts: the databases an administrator builds into the
# data directories are that administrator's data, and stay when the package is
# purged (dpkg then leaves the directories that still hold them).

set(BRISEL_PACKAGE_MAINTAINER "The brisel developers <brisel@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The brisel developers")
set(CPACK_PACKAGE_CONTACT ${BRISEL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "protein sequence motif search")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianStrip.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BRISEL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# CPack puts the summary above this text and indents its lines; an empty line
# becomes Debian's " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "brisel finds the occurrences of sequence motifs in protein sequences and
reports each occurrence with its statistics: the expected number of random
hits, the probability of no random hit and the motif's specificity.

brisel-search searches a prepared motif database against a prepared sequence
database, or against a file of sequences. brisel-makedb prepares both kinds of
database: sequence databases from FASTA, motif databases from PROSITE data
files or lists of PROSITE patterns.

Databases are looked up under /usr/share/corvane/lumisca_brisel/, which the
package creates empty.")
if(EXISTS ${PROJECT_SOURCE_DIR}/workflow)
  string(APPEND CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "\n\nA Snakemake workflow is installed under /usr/share/brisel/workflow/.")
endif()

include(CPack)
