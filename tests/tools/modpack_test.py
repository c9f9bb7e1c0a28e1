#!/usr/bin/env python3
"""The publishing tool: the encoding the launcher decodes, the CDN tree it
lays out, what it refuses, and signing with a throw-away certificate.

    TAVRIN_TEST_PE_FILE=FILE modpack_test.py   (signing needs a PE file to sign)
"""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "modpack"))
import modpack  # noqa: E402

PE_FILE = os.environ.get("TAVRIN_TEST_PE_FILE")


class EncodingTest(unittest.TestCase):
    def test_known_vectors_match_the_launcher_decoder(self):
        # Decoded -> encoded pairs; the launcher's decoder tests use the same bytes.
        cases = [
            (b"\x7f", b"\x7f"),
            (b"\x05\x00", b"\x05\x03"),
            (b"\x1d\xf3\x2a", b"\x10\x20\x30"),
        ]
        for decoded, encoded in cases:
            with self.subTest(decoded=decoded):
                self.assertEqual(modpack.encode(decoded), encoded)
                self.assertEqual(modpack.decode(encoded), decoded)

    def test_round_trip_over_wrapping_positions(self):
        data = os.urandom(5000)
        self.assertEqual(modpack.decode(modpack.encode(data)), data)


class PublishTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.root = self.folder.name
        self.module = os.urandom(4097)

    def tearDown(self):
        self.folder.cleanup()

    def test_lays_out_the_path_the_launcher_asks_for(self):
        path = modpack.publish(self.module, self.root, "prod-1", "dep-1", "win64")
        self.assertEqual(path, os.path.join(self.root, "modules", "prod-1", "dep-1", "win64"))
        with open(path, "rb") as served:
            self.assertEqual(modpack.decode(served.read()), self.module)
        self.assertEqual([n for n in os.listdir(os.path.dirname(path))], ["win64"])

    def test_refuses_what_the_launcher_would_misread_or_what_escapes_the_tree(self):
        cases = [
            ("../x", "dep-1", "win64", self.module),
            ("prod_1", "dep-1", "win64", self.module),
            ("p", "dep-1", "win64", self.module),
            ("prod-1", "dep/1", "win64", self.module),
            ("prod-1", "dep-1", "Win64", self.module),
            ("prod-1", "dep-1", "../../etc", self.module),
            # 4096 bytes read as "service switched off".
            ("prod-1", "dep-1", "win64", self.module[:4096]),
        ]
        for product, deployment, system, data in cases:
            with self.subTest(product=product, deployment=deployment, system=system, size=len(data)):
                with self.assertRaises(modpack.PublishError):
                    modpack.publish(data, self.root, product, deployment, system)
        self.assertEqual(os.listdir(self.root), [])

    def test_signing_a_non_windows_module_is_refused(self):
        with self.assertRaises(modpack.PublishError):
            modpack.publish(self.module, self.root, "prod-1", "dep-1", "linux64",
                            {"cert": "c.pem", "key": "k.pem"})

    def test_short_command_line_forms_still_encode_and_decode(self):
        source = os.path.join(self.root, "in")
        encoded = os.path.join(self.root, "enc")
        decoded = os.path.join(self.root, "dec")
        with open(source, "wb") as f:
            f.write(self.module)
        self.assertEqual(modpack.main(["modpack.py", source, encoded]), 0)
        self.assertEqual(modpack.main(["modpack.py", "--decode", encoded, decoded]), 0)
        with open(decoded, "rb") as f:
            self.assertEqual(f.read(), self.module)


@unittest.skipUnless(PE_FILE, "no PE file to sign (TAVRIN_TEST_PE_FILE)")
class SigningTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        work = self.folder.name
        self.cert = os.path.join(work, "cert.pem")
        self.key = os.path.join(work, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Tavrin Test Studio", "-keyout", self.key, "-out", self.cert,
                        "-addext", "extendedKeyUsage=codeSigning"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(PE_FILE, "rb") as f:
            self.image = f.read()

    def tearDown(self):
        self.folder.cleanup()

    def test_published_windows_module_carries_a_signature_over_the_image(self):
        path = modpack.publish(self.image, self.folder.name, "prod-1", "dep-1", "win64",
                               {"cert": self.cert, "key": self.key, "name": "Test Module"})
        with open(path, "rb") as served:
            signed = modpack.decode(served.read())
        self.assertGreater(len(signed), len(self.image))
        result = self.verify(signed)
        self.assertIn("Signature verification: ok", result)
        self.assertIn("Tavrin Test Studio", result)

    def verify(self, signed):
        check = os.path.join(self.folder.name, "signed.exe")
        with open(check, "wb") as f:
            f.write(signed)
        return subprocess.run(["osslsigncode", "verify", "-CAfile", self.cert, "-in", check],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout

    def test_a_pkcs12_file_signs_as_well(self):
        pfx = os.path.join(self.folder.name, "studio.pfx")
        subprocess.run(["openssl", "pkcs12", "-export", "-in", self.cert, "-inkey", self.key,
                        "-out", pfx, "-passout", "pass:secret"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        signed = modpack.sign_bytes(self.image, pkcs12=pfx, password="secret")
        self.assertIn("Signature verification: ok", self.verify(signed))

    def test_a_file_that_is_not_a_pe_image_is_not_signed(self):
        with self.assertRaises(modpack.PublishError):
            modpack.sign_bytes(b"MZ" + b"\0" * 5000, self.cert, self.key)


if __name__ == "__main__":
    unittest.main()
