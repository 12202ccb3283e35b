#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The rooms of the libraries as the build declares them, against the code and
ARCHITECTURE.md.

    check_rooms.py ROOMS_FILE SOURCE_DIR

ROOMS_FILE is the build's list of rooms (cmake/BriselRooms.cmake). Checks that
every include in a room's files names the room itself or a room it uses
directly, that every room it uses is included somewhere, that no circle runs
through the rooms, and that the table of rooms in ARCHITECTURE.md is the
build's: the same rooms, folders and uses. Prints each finding and exits 1
when there is one.
"""
import re
import sys
from pathlib import Path


def read_rooms(path):
    rooms = {}
    for line in Path(path).read_text().splitlines():
        if not line.strip():
            continue
        name, folder, uses, sources, self = line.split("|")
        rooms[name] = {"folder": folder, "uses": set(uses.split()),
                       "sources": sources.split(), "self": self == "self"}
    return rooms


def room_files(source, room):
    folder = source / room["folder"]
    return sorted({*folder.glob("*.h"), *(folder / s for s in room["sources"])})


def included_rooms(path, rooms, bare):
    found = set()
    for include in re.findall(r'^#include "([^"]+)"', path.read_text(), re.M):
        head = include.split("/")[0] if "/" in include else None
        if head in rooms:
            found.add(head)
        elif include in bare:
            found.add(bare[include])
        else:
            found.add("?" + include)
    return found


def table_of(architecture):
    rows = {}
    for line in architecture.read_text().splitlines():
        match = re.match(r"^\|\s*`([a-z_]+)`\s*\|\s*`([^`]+)/`\s*\|[^|]*\|([^|]*)\|\s*$", line)
        if match:
            rows[match.group(1)] = {"folder": match.group(2),
                                    "uses": set(re.findall(r"`([a-z_]+)`", match.group(3)))}
    return rows


def circle(rooms):
    state = {}

    def visit(name, path):
        state[name] = "open"
        for use in sorted(rooms[name]["uses"]):
            if state.get(use) == "open":
                return path + [name, use]
            if use in rooms and use not in state:
                found = visit(use, path + [name])
                if found:
                    return found
        state[name] = "done"
        return None

    for name in sorted(rooms):
        if name not in state:
            found = visit(name, [])
            if found:
                return found
    return None


def main():
    rooms = read_rooms(sys.argv[1])
    source = Path(sys.argv[2])
    bare = {}
    for name, room in rooms.items():
        if room["self"]:
            for header in (source / room["folder"]).glob("*.h"):
                bare[header.name] = name
    findings = []
    for name, room in sorted(rooms.items()):
        used = set()
        for path in room_files(source, room):
            for target in included_rooms(path, rooms, bare) - {name}:
                used.add(target)
                if target.startswith("?"):
                    findings.append(f"{path}: includes \"{target[1:]}\", which no room holds")
                elif target not in room["uses"]:
                    findings.append(f"{path}: includes a header of {target}, which room "
                                    f"{name} does not use")
        for unused in sorted(room["uses"] - used):
            findings.append(f"room {name} uses {unused} but includes none of its headers")
    found = circle(rooms)
    if found:
        findings.append("a circle through the rooms: " + " -> ".join(found))
    table = table_of(source / "ARCHITECTURE.md")
    build = {n: {"folder": r["folder"], "uses": r["uses"]} for n, r in rooms.items()}
    for name in sorted(set(table) | set(build)):
        if name not in table:
            findings.append(f"ARCHITECTURE.md: no row for room {name}")
        elif name not in build:
            findings.append(f"ARCHITECTURE.md: room {name} is not in the build")
        elif table[name] != build[name]:
            findings.append(f"ARCHITECTURE.md: room {name} is {table[name]}, the build says "
                            f"{build[name]}")
    for finding in findings:
        print(finding)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
