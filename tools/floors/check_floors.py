#!/usr/bin/env python3
"""The house rule of the source tree: a file includes only from its own room
or from a lower floor, and rooms that share a floor stay apart.

    check_floors.py [SRC_DIR]     prints every include that breaks the rule
                                  and exits 1 when there is one
    check_floors.py --draw        prints the floors, top first (the README
                                  shows this drawing)
"""
import os
import re
import sys

# Bottom first. This list is the one place the order is written.
FLOORS = [
    ["base"],
    ["logging"],
    ["localization"],
    ["settings"],
    ["acquisition"],
    ["telemetry"],
    ["loader", "ui"],
    ["core"],
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/[^"]+"')
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp")


def floor_of(room):
    for level, rooms in enumerate(FLOORS):
        if room in rooms:
            return level
    return None


def draw():
    lines = []
    for level in reversed(range(len(FLOORS))):
        lines.append("%d  %s" % (level, "   ".join("src/%s/" % room for room in FLOORS[level])))
    return "\n".join(lines)


def check_file(path, room, rooms_present):
    problems = []
    own = floor_of(room)
    with open(path, encoding="utf-8", errors="replace") as source:
        for number, line in enumerate(source, 1):
            match = INCLUDE.match(line)
            if not match or match.group(1) not in rooms_present:
                continue
            target = match.group(1)
            if target == room:
                continue
            level = floor_of(target)
            if level is None:
                continue  # reported once for the room itself
            where = "%s:%d includes %s" % (path, number, line.strip()[len("#include "):].strip())
            if level > own:
                problems.append("%s: %s is above %s" % (where, target, room))
            elif level == own:
                problems.append("%s: %s and %s share a floor and stay apart" % (where, target, room))
    return problems


def check_tree(src):
    rooms_present = {entry for entry in os.listdir(src) if os.path.isdir(os.path.join(src, entry))}
    problems = []
    for room in sorted(rooms_present):
        if floor_of(room) is None:
            problems.append("%s/%s: a room on no floor (add it to FLOORS in %s)" % (src, room, __file__))
            continue
        for folder, _, names in os.walk(os.path.join(src, room)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    problems += check_file(os.path.join(folder, name), room, rooms_present)
    return problems


def main(argv):
    if argv[1:] == ["--draw"]:
        print(draw())
        return 0
    src = os.path.normpath(argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src"))
    problems = check_tree(src)
    for problem in problems:
        print(problem)
    print("floors: %d include rule break(s) in %s" % (len(problems), src))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
