#!/usr/bin/env python3
"""Checks a built launcher executable the way a player's Windows sees it.

  check_exe.py EXE --version X.Y.Z [--release] [--host H]... [--expect-loopback]
  check_exe.py EXE --console [--release] [--host H]... [--expect-loopback]

Resources: the application manifest (asInvoker, per-monitor DPI awareness,
supported OS list, long paths), the version resource (fixed and string
versions), the APP_ICON icon group (the first one, seven 32-bit sizes).
Service hosts: no loopback host with a port or behind a URL scheme (with
--expect-loopback the test build's loopback hosts must be found instead, so
the search is shown to work on a real binary); every --host is present.
--release: stripped and without a link time stamp.
--console: a 64-bit console program (the checker, TavrinCheck.exe), whose
resources are not checked.
Prints one line per failure and exits 1 if there was any.
"""
import argparse
import re
import struct
import sys
import xml.etree.ElementTree as ET

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
WIN10_GUID = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
ICON_SIZES = [256, 128, 96, 48, 32, 24, 16]
LOOPBACK = [
    rb"(?:localhost|127\.\d{1,3}\.\d{1,3}\.\d{1,3}|\[::1\]):\d{1,5}",
    rb"https?://(?:localhost|127\.|\[::1\])",
]


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = pe + 4
        (self.machine, sections, self.timestamp, self.symbols, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        opt = coff + 20
        if struct.unpack_from("<H", data, opt)[0] != 0x20B:
            raise ValueError("not a PE32+ image")
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        count = struct.unpack_from("<I", data, opt + 108)[0]
        self.directories = [struct.unpack_from("<II", data, opt + 112 + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            name, vsize, va, rsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), va, max(vsize, rsize), raw, rsize))

    def offset(self, rva):
        for _, va, size, raw, rsize in self.sections:
            if va <= rva < va + size and rva - va < rsize:
                return raw + rva - va
        raise ValueError("RVA 0x%x outside the file" % rva)

    def resources(self):
        """{(type, name, language): bytes}; names are ints or strings."""
        rva, size = self.directories[2] if len(self.directories) > 2 else (0, 0)
        found = {}
        if rva == 0:
            return found
        base = self.offset(rva)

        def entries(offset):
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if name & 0x80000000:
                    at = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        for rtype, t in entries(0):
            for rname, n in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(n & 0x7FFFFFFF):
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + leaf)
                    at = self.offset(data_rva)
                    found[(rtype, rname, lang)] = self.data[at:at + data_size]
        return found


def of_type(resources, rtype):
    return [(key, value) for key, value in resources.items() if key[0] == rtype]


def check_manifest(resources, fail):
    manifests = of_type(resources, RT_MANIFEST)
    if len(manifests) != 1:
        return fail("expected one application manifest, found %d" % len(manifests))
    try:
        root = ET.fromstring(manifests[0][1])
    except ET.ParseError as error:
        return fail("manifest is not well-formed XML: %s" % error)
    local = {}
    for element in root.iter():
        local.setdefault(element.tag.split("}")[-1], []).append(element)
    levels = [e.get("level") for e in local.get("requestedExecutionLevel", [])]
    if levels != ["asInvoker"]:
        fail("manifest execution level is %s, not asInvoker" % levels)
    awareness = " ".join((e.text or "") for e in local.get("dpiAwareness", []))
    if "PerMonitorV2" not in awareness:
        fail("manifest does not declare per-monitor (V2) DPI awareness")
    if [(e.text or "").strip() for e in local.get("longPathAware", [])] != ["true"]:
        fail("manifest does not declare long-path awareness")
    supported = [e.get("Id", "").lower() for e in local.get("supportedOS", [])]
    if WIN10_GUID not in supported:
        fail("manifest supported OS list lacks Windows 10/11")


def check_version(resources, version, fail):
    blobs = of_type(resources, RT_VERSION)
    if len(blobs) != 1:
        return fail("expected one version resource, found %d" % len(blobs))
    blob = blobs[0][1]
    at = blob.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return fail("version resource has no fixed file information")
    ms, ls, pms, pls = struct.unpack_from("<IIII", blob, at + 8)
    major, minor, patch = (int(p) for p in version.split("."))
    wanted = ((major << 16) | minor, patch << 16)
    if (ms, ls) != wanted or (pms, pls) != wanted:
        fail("fixed version %d.%d.%d.%d differs from %s" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF, version))
    text = blob.decode("utf-16-le", errors="replace")
    for key, value in (("FileVersion", version), ("ProductVersion", version),
                       ("OriginalFilename", "TavrinLauncher.exe"), ("ProductName", "Tavrin")):
        if not re.search(key + r"\x00+" + re.escape(value), text):
            fail("version string %s is not %s" % (key, value))


def check_icons(resources, fail):
    groups = sorted(of_type(resources, RT_GROUP_ICON), key=lambda kv: (isinstance(kv[0][1], int), kv[0][1]))
    if not groups or groups[0][0][1] != "APP_ICON":
        return fail("APP_ICON is not the first icon group")
    blob = groups[0][1]
    _, kind, count = struct.unpack_from("<HHH", blob, 0)
    sizes = []
    for i in range(count):
        width, height, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", blob, 6 + 14 * i)
        sizes.append(width or 256)
        if bits != 32:
            fail("APP_ICON image %d has %d bits per pixel" % (i, bits))
        if not any(k[0] == RT_ICON and k[1] == icon_id for k in resources):
            fail("APP_ICON image %d (icon %d) is missing" % (i, icon_id))
    if kind != 1 or sorted(sizes, reverse=True) != ICON_SIZES:
        fail("APP_ICON sizes are %s, not %s" % (sizes, ICON_SIZES))


def check_hosts(data, hosts, expect_loopback, fail):
    wide = data.replace(b"\0", b"")  # UTF-16 text becomes searchable too
    found = sorted({m.group(0).decode("latin-1") for p in LOOPBACK for blob in (data, wide)
                    for m in re.finditer(p, blob)})
    if expect_loopback and not found:
        fail("no loopback host found in a build configured with loopback services")
    if not expect_loopback and found:
        fail("loopback host in the executable: %s" % ", ".join(found))
    for host in hosts:
        if host.encode() not in data:
            fail("service host %s is not in the executable" % host)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--version")
    parser.add_argument("--console", action="store_true")
    parser.add_argument("--release", action="store_true")
    parser.add_argument("--host", action="append", default=[])
    parser.add_argument("--expect-loopback", action="store_true")
    args = parser.parse_args()
    if not args.console and not args.version:
        parser.error("--version is required for a GUI program")

    failures = []
    fail = failures.append
    data = open(args.exe, "rb").read()
    try:
        pe = PeFile(data)
        subsystem, kind = (3, "console") if args.console else (2, "GUI")
        if pe.machine != 0x8664 or pe.subsystem != subsystem:
            fail("not a 64-bit %s program (machine 0x%x, subsystem %d)" % (kind, pe.machine, pe.subsystem))
        if not args.console:
            resources = pe.resources()
            check_manifest(resources, fail)
            check_version(resources, args.version, fail)
            check_icons(resources, fail)
        if args.release:
            if pe.timestamp != 0:
                fail("link time stamp is set (0x%x)" % pe.timestamp)
            if pe.symbols != 0 or any(s[0].startswith(".debug") or s[0].startswith("/") for s in pe.sections):
                fail("not stripped: symbol table or debug sections present")
    except (ValueError, struct.error) as error:
        fail("unreadable PE file: %s" % error)
    check_hosts(data, args.host, args.expect_loopback, fail)

    for line in failures:
        print("check_exe: %s: %s" % (args.exe, line), file=sys.stderr)
    if not failures:
        print("check_exe: %s: %s, hosts%s ok" % (args.exe, "console program" if args.console else "resources",
                                                  ", release form" if args.release else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
