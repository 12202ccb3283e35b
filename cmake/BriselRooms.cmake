# SPDX-License-Identifier: MIT
# Rooms: each folder of the libraries is a static library (an interface
# library when it has no sources) that names the rooms it uses. A room's
# headers are reachable only through its own include directory, a directory
# of the build tree that holds the room alone (as a link named after it), so
# that a file includes "room/header.h" of exactly the rooms its own room
# uses, directly or through them: an include against the direction of the
# architecture does not build. tests/architecture checks the rest: every
# include names a room that its room declares, no circle, and ARCHITECTURE.md's
# table equal to these declarations.
#
#   brisel_room(NAME [SOURCES file...] [USES room...] [LINKS target...]
#               [INCLUDE_SELF])
#
# The target is brisel_<NAME>. INCLUDE_SELF puts the folder itself on the
# include path, for a room whose headers are included by their bare names
# (the C-style interface: "brisel.h").
function(brisel_room name)
  cmake_parse_arguments(ROOM "INCLUDE_SELF" "" "SOURCES;USES;LINKS" ${ARGN})
  set(target brisel_${name})
  set(root ${CMAKE_BINARY_DIR}/rooms/${name})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${name})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  endif()
  if(ROOM_SOURCES)
    add_library(${target} STATIC ${ROOM_SOURCES})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  if(ROOM_INCLUDE_SELF)
    target_include_directories(${target} ${scope} ${CMAKE_CURRENT_SOURCE_DIR})
  else()
    target_include_directories(${target} ${scope} ${root})
  endif()
  foreach(use IN LISTS ROOM_USES)
    target_link_libraries(${target} ${scope} brisel_${use})
  endforeach()
  if(ROOM_LINKS)
    target_link_libraries(${target} ${scope} ${ROOM_LINKS})
  endif()
  string(REPLACE ";" " " uses "${ROOM_USES}")
  string(REPLACE ";" " " sources "${ROOM_SOURCES}")
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(self "")
  if(ROOM_INCLUDE_SELF)
    set(self "self")
  endif()
  set_property(GLOBAL APPEND PROPERTY BRISEL_ROOMS "${name}|${folder}|${uses}|${sources}|${self}")
endfunction()

# Writes the rooms, one per line ("name|folder|uses|sources|self", lists
# separated by spaces; self when its headers are included by bare name), for
# the architecture test.
function(brisel_write_rooms file)
  get_property(rooms GLOBAL PROPERTY BRISEL_ROOMS)
  string(REPLACE ";" "\n" text "${rooms}")
  file(WRITE ${file} "${text}\n")
endfunction()
