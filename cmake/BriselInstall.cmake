# SPDX-License-Identifier: MIT
# BriselInstall.cmake: what `cmake --install` and the Debian package install
# besides the two programs (their install rules sit next to their targets).
#
# - The manual pages, gzipped with -n (no name or time stamp in the header, so
#   the same page always gives the same bytes) as Debian wants them.
# - README.md, the copyright file and the changelog under the documentation
#   directory. The copyright file is generated from LICENSE in Debian's
#   machine-readable format; LICENSE stays the one place the terms are written.
# - The Snakemake workflow, when the source tree has one.
# - The two data directories brisel-search reads databases from when -l is not
#   given, created empty. Their names must stay those of database_paths.h; the
#   package test builds databases there and searches them with no options.
#   They are relative to the prefix, so a /usr install (the package's) gives
#   exactly the directories the program reads, and an install elsewhere never
#   writes outside its prefix.

find_program(BRISEL_GZIP gzip REQUIRED)
# Directories the install creates are 0755 whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(BRISEL_INSTALL_STAGE ${PROJECT_BINARY_DIR}/install-stage)

# Manual pages: each program's page as written from its template in man/ and
# its option table (src/programs/CMakeLists.txt), in section 1.
set(BRISEL_MAN_PAGES brisel-search.1 brisel-makedb.1)
set(BRISEL_MAN_GZ)
foreach(page IN LISTS BRISEL_MAN_PAGES)
  set(source ${CMAKE_BINARY_DIR}/man/${page})
  set(output ${BRISEL_INSTALL_STAGE}/${page}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${BRISEL_INSTALL_STAGE}
    COMMAND ${BRISEL_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  list(APPEND BRISEL_MAN_GZ ${output})
  string(REGEX REPLACE "^.*\\.([1-9])$" "\\1" section ${page})
  install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

# The copyright file: a fixed header, then the licence text indented by one
# space with "." standing for each empty line.
set(BRISEL_COPYRIGHT ${BRISEL_INSTALL_STAGE}/copyright)
set(BRISEL_CHANGELOG_GZ ${BRISEL_INSTALL_STAGE}/changelog.gz)
add_custom_command(
  OUTPUT ${BRISEL_COPYRIGHT}
  COMMAND ${CMAKE_COMMAND} -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
          -DTEMPLATE=${PROJECT_SOURCE_DIR}/packaging/copyright.in -DOUTPUT=${BRISEL_COPYRIGHT}
          -P ${PROJECT_SOURCE_DIR}/cmake/GenerateCopyright.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright.in
          ${PROJECT_SOURCE_DIR}/cmake/GenerateCopyright.cmake
  COMMENT "Generating the copyright file from LICENSE"
  VERBATIM)
add_custom_command(
  OUTPUT ${BRISEL_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${BRISEL_INSTALL_STAGE}
  COMMAND ${BRISEL_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${BRISEL_CHANGELOG_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(brisel_install_files ALL
                  DEPENDS ${BRISEL_MAN_GZ} ${BRISEL_COPYRIGHT} ${BRISEL_CHANGELOG_GZ})
add_dependencies(brisel_install_files manual_brisel-search manual_brisel-makedb)

install(FILES README.md ${BRISEL_COPYRIGHT} ${BRISEL_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(EXISTS ${PROJECT_SOURCE_DIR}/workflow)
  install(DIRECTORY workflow/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brisel/workflow)
endif()

install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/lumisca_brisel/brisels)
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/lumisca_brisel/sequences)
