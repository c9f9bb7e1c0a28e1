#!/usr/bin/env python3
"""Prints what a TrueType font says of itself, for the third-party notices:
  font_info.py FONT.ttf
One line: full name, version and copyright notice (name table entries 4, 5
and 0), separated by tabs. Exits 1 when the file is no readable font.
"""
import struct
import sys

FULL_NAME, VERSION, COPYRIGHT = 4, 5, 0


def names(data):
    """{name id: text} from the name table, Windows Unicode entries first."""
    count = struct.unpack_from(">H", data, 4)[0]
    for i in range(count):
        tag, _, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        if tag == b"name":
            break
    else:
        raise ValueError("no name table")
    if offset + 6 > len(data):
        raise ValueError("name table outside the file")
    _, records, strings = struct.unpack_from(">HHH", data, offset)
    found = {}
    for i in range(records):
        platform, encoding, _, name_id, size, start = struct.unpack_from(">HHHHHH", data, offset + 6 + 12 * i)
        begin = offset + strings + start
        raw = data[begin:begin + size]
        if len(raw) != size:
            raise ValueError("name %d outside the file" % name_id)
        if platform == 3 and encoding in (0, 1):
            found[name_id] = raw.decode("utf-16-be")
        elif platform == 1 and encoding == 0:
            found.setdefault(name_id, raw.decode("latin-1"))
    return found


def main():
    try:
        found = names(open(sys.argv[1], "rb").read())
        print("\t".join(" ".join(found[key].split()) for key in (FULL_NAME, VERSION, COPYRIGHT)))
    except (OSError, ValueError, KeyError, struct.error, UnicodeDecodeError) as error:
        print("font_info: %s: %s" % (sys.argv[1], error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
