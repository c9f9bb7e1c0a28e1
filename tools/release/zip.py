#!/usr/bin/env python3
"""Packs a folder into a zip that depends on nothing but the files' bytes:
sorted entries, one fixed time (SOURCE_DATE_EPOCH), fixed permissions.
  zip.py FOLDER OUTPUT.zip
"""
import os
import sys
import time
import zipfile


def main():
    folder, output = sys.argv[1], sys.argv[2]
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip cannot date before 1980
    paths = []
    for parent, dirs, files in os.walk(folder):
        dirs.sort()
        paths += [os.path.join(parent, name) for name in files]
    with zipfile.ZipFile(output + ".partial", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in sorted(paths, key=lambda p: os.path.relpath(p, folder)):
            info = zipfile.ZipInfo(os.path.relpath(path, folder).replace(os.sep, "/"), stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = (0o100755 if path.endswith(".exe") else 0o100644) << 16
            info.create_system = 3
            with open(path, "rb") as f:
                archive.writestr(info, f.read())
    os.replace(output + ".partial", output)


if __name__ == "__main__":
    main()
