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
        path = modpack.publish(self.module, self.root, "prod-1", "dep-1", "win64", allow_unsigned=True)
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
                    modpack.publish(data, self.root, product, deployment, system, allow_unsigned=True)
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
        self.cert, self.key = self.certificate("/O=Tavrin Test Studio/CN=Tavrin Oy")
        with open(PE_FILE, "rb") as f:
            self.image = f.read()

    def tearDown(self):
        self.folder.cleanup()

    def certificate(self, subject):
        """A throw-away code-signing certificate and its key."""
        stem = os.path.join(self.folder.name, subject.replace("/", "_").replace("=", "-"))
        cert, key = stem + "-cert.pem", stem + "-key.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", subject, "-keyout", key, "-out", cert,
                        "-addext", "extendedKeyUsage=codeSigning"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return cert, key

    def test_published_windows_module_carries_a_signature_over_the_image(self):
        path = modpack.publish(self.image, self.folder.name, "prod-1", "dep-1", "win64",
                               {"cert": self.cert, "key": self.key, "name": "Test Module"})
        with open(path, "rb") as served:
            signed = modpack.decode(served.read())
        self.assertGreater(len(signed), len(self.image))
        result = self.verify(signed)
        self.assertIn("Signature verification: ok", result)
        self.assertIn("Tavrin Test Studio", result)

    def test_a_windows_module_every_player_would_refuse_is_not_published(self):
        other_cert, other_key = self.certificate("/CN=Other Studio")
        other = modpack.sign_bytes(self.image, other_cert, other_key)
        ours = modpack.sign_bytes(self.image, self.cert, self.key)
        changed = bytearray(ours)
        changed[0x400] ^= 0x01
        cases = [
            (self.image, "is not signed"),
            (other, "is signed by 'Other Studio', a publisher the launcher does not accept"),
            (bytes(changed), "was changed after it was signed"),
        ]
        for data, reason in cases:
            with self.subTest(reason=reason):
                with self.assertRaises(modpack.PublishError) as refused:
                    modpack.publish(data, self.folder.name, "prod-1", "dep-1", "win64")
                self.assertIn(reason, str(refused.exception))
                self.assertIn("--allow-unsigned", str(refused.exception))
        self.assertFalse(os.path.exists(os.path.join(self.folder.name, "modules")))
        # A test CDN may serve it all the same; a module that is not for Windows
        # carries no signature at all.
        modpack.publish(other, self.folder.name, "prod-1", "dep-1", "win64", allow_unsigned=True)
        modpack.publish(self.image, self.folder.name, "prod-1", "dep-1", "linux64")

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

    def test_the_password_comes_from_a_file_or_the_environment_never_the_command_line(self):
        pfx = os.path.join(self.folder.name, "studio.pfx")
        subprocess.run(["openssl", "pkcs12", "-export", "-in", self.cert, "-inkey", self.key,
                        "-out", pfx, "-passout", "pass:s3cret word"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        source = os.path.join(self.folder.name, "module.exe")
        with open(source, "wb") as f:
            f.write(self.image)
        secret = os.path.join(self.folder.name, "password.txt")
        with open(secret, "w") as f:
            f.write("s3cret word\n")
        signed = os.path.join(self.folder.name, "signed.exe")
        self.assertEqual(modpack.main(["modpack.py", "sign", source, signed, "--pkcs12", pfx,
                                       "--pass-file", secret]), 0)
        with open(signed, "rb") as f:
            self.assertIn("Signature verification: ok", self.verify(f.read()))
        os.environ[modpack.PASSWORD_VARIABLE] = "s3cret word"
        try:
            self.assertEqual(modpack.main(["modpack.py", "sign", source, signed, "--pkcs12", pfx]), 0)
        finally:
            del os.environ[modpack.PASSWORD_VARIABLE]
        with self.assertRaises(SystemExit):
            modpack.main(["modpack.py", "sign", source, signed, "--pkcs12", pfx, "--pass", "s3cret word"])

    def test_a_file_that_is_not_a_pe_image_is_not_signed(self):
        with self.assertRaises(modpack.PublishError):
            modpack.sign_bytes(b"MZ" + b"\0" * 5000, self.cert, self.key)


if __name__ == "__main__":
    unittest.main()
