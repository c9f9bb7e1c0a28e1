#!/usr/bin/env python3
"""Re-signs a certificate after turning the '#' of NAME, a text the
certificate holds once (its common name), into a NUL byte, which no
certificate request tool will write.

    embed_nul.py CERT.pem ISSUER-KEY.pem NAME OUT.pem

The signature algorithm stays the certificate's own (SHA-256 with RSA here);
openssl makes the new signature."""
import base64
import subprocess
import sys
import tempfile


def der_length(data, at):
    """(header size, content size) of the DER element at offset at."""
    first = data[at + 1]
    if first < 0x80:
        return 2, first
    count = first & 0x7F
    return 2 + count, int.from_bytes(data[at + 2 : at + 2 + count], "big")


def encode(tag, content):
    size = len(content)
    if size < 0x80:
        return bytes([tag, size]) + content
    raw = size.to_bytes((size.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(raw)]) + raw + content


def elements(data, at, end):
    while at < end:
        header, size = der_length(data, at)
        yield data[at : at + header + size]
        at += header + size


def main(cert_path, key_path, name, out_path):
    pem = open(cert_path).read()
    body = pem.split("-----BEGIN CERTIFICATE-----")[1].split("-----END CERTIFICATE-----")[0]
    der = base64.b64decode(body)
    header, size = der_length(der, 0)
    tbs, algorithm, _ = elements(der, header, header + size)
    marked = name.encode()
    if b"#" not in marked or tbs.count(marked) != 1:
        sys.exit("embed_nul.py: NAME must hold a '#' and appear once in the certificate")
    tbs = tbs.replace(marked, marked.replace(b"#", b"\x00"))
    with tempfile.NamedTemporaryFile() as unsigned:
        unsigned.write(tbs)
        unsigned.flush()
        signature = subprocess.run(
            ["openssl", "dgst", "-sha256", "-sign", key_path, unsigned.name],
            check=True, capture_output=True).stdout
    cert = encode(0x30, tbs + algorithm + encode(0x03, b"\x00" + signature))
    text = base64.encodebytes(cert).decode().replace("\n", "")
    lines = [text[i : i + 64] for i in range(0, len(text), 64)]
    with open(out_path, "w") as out:
        out.write("-----BEGIN CERTIFICATE-----\n" + "\n".join(lines) + "\n-----END CERTIFICATE-----\n")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
