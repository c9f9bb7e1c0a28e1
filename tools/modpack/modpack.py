#!/usr/bin/env python3
"""Writes the encoded form in which the CDN serves a module file.

Encoded byte k is d[k] + d[k+1] + 3k for every byte but the last, which is
d[n-1] + 3(n-1), all modulo 256; files of fewer than two bytes are copied
unchanged. The launcher's decoder reverses this.

    modpack.py INPUT OUTPUT
    modpack.py --decode INPUT OUTPUT
"""
import sys


def encode(data: bytes) -> bytes:
    n = len(data)
    if n < 2:
        return bytes(data)
    out = bytearray(n)
    for k in range(n - 1):
        out[k] = (data[k] + data[k + 1] + 3 * k) & 0xFF
    out[n - 1] = (data[n - 1] + 3 * (n - 1)) & 0xFF
    return bytes(out)


def decode(data: bytes) -> bytes:
    n = len(data)
    if n < 2:
        return bytes(data)
    out = bytearray(data)
    out[n - 1] = (out[n - 1] - 3 * (n - 1)) & 0xFF
    for k in range(n - 2, -1, -1):
        out[k] = (out[k] - 3 * k - out[k + 1]) & 0xFF
    return bytes(out)


def main(argv):
    args = argv[1:]
    transform = encode
    if args and args[0] == "--decode":
        transform = decode
        args = args[1:]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(args[0], "rb") as source:
        data = source.read()
    with open(args[1], "wb") as target:
        target.write(transform(data))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
