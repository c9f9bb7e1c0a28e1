#!/usr/bin/env python3
"""The release zip's contents and its third-party notices, made by the release's
own scripts (tools/release/stage.sh, notices.sh, zip.py) from this build's
programs and dependency prefix.
  package_test.py --bin BUILD/bin --deps DEPS_PREFIX
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RELEASE = os.path.join(SOURCE, "tools", "release")
FONTS = os.path.join(SOURCE, "resources", "fonts")
ARGS = None


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def sdl_has_hidapi(prefix):
    return not re.search(r"^#define SDL_HIDAPI_DISABLED", read(os.path.join(prefix, "include", "SDL2", "SDL_config.h")),
                         re.M)


def notices(prefix, fonts, work):
    out = os.path.join(work, "notices.txt")
    run = subprocess.run([os.path.join(RELEASE, "notices.sh"), prefix, out, fonts],
                         capture_output=True, text=True)
    return run.returncode, (read(out) if run.returncode == 0 else ""), run.stderr


def sections(text):
    """Section titles in order: the line after each rule of '='."""
    lines = text.splitlines()
    return [lines[i + 1] for i, line in enumerate(lines[:-1]) if line == "=" * 80]


class Package(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="tavrin-package-")
        self.addCleanup(shutil.rmtree, self.work)

    def test_zip_holds_the_launcher_the_checker_and_what_a_studio_fills_in(self):
        stage = os.path.join(self.work, "stage")
        subprocess.run([os.path.join(RELEASE, "stage.sh"), ARGS.bin, ARGS.deps, stage], check=True)
        archive = os.path.join(self.work, "package.zip")
        subprocess.run([sys.executable, os.path.join(RELEASE, "zip.py"), stage, archive], check=True)
        names = zipfile.ZipFile(archive).namelist()
        languages = sorted(os.listdir(os.path.join(ARGS.bin, "Tavrin", "Localization")))
        self.assertIn("en_us.cfg", languages)
        expected = ["OpenSans-LICENSE.txt", "THIRD-PARTY-NOTICES.txt", "Tavrin/Localization/"] + \
            ["Tavrin/Localization/" + name for name in languages] + \
            ["Tavrin/Settings.json", "Tavrin/Settings.txt", "TavrinCheck.exe", "TavrinLauncher.exe"]
        self.assertEqual(sorted(names), sorted(n for n in expected if not n.endswith("/")))
        with zipfile.ZipFile(archive) as z:
            self.assertEqual(z.read("TavrinCheck.exe"), read(os.path.join(ARGS.bin, "TavrinCheck.exe"), "rb"))

    def test_notices_name_every_library_the_bundled_hidapi_and_the_fonts(self):
        code, text, err = notices(ARGS.deps, FONTS, self.work)
        self.assertEqual(code, 0, err)
        titles = [re.sub(r" [^ ]+$", "", t) for t in sections(text)]
        expected = ["SDL2"] + (["HIDAPI (bundled with SDL2, src/hidapi)"] if sdl_has_hidapi(ARGS.deps) else []) + \
            ["SDL2_image", "SDL2_ttf", "FreeType", "libpng", "zlib", "libcurl",
             "mingw-w64 runtime (CRT startup, winpthreads)", "GCC runtime (libgcc, libstdc++)",
             "Fonts (Open Sans Bold, Open Sans Light, Open Sans), version"]
        self.assertEqual(titles, expected)
        if sdl_has_hidapi(ARGS.deps):
            hidapi = text.split("HIDAPI (bundled", 1)[1].split("=" * 80, 1)[0]
            self.assertIn("src/hidapi/*", hidapi)
            self.assertIn("Copyright: 2009-2010 Alan Ott, Signal 11 Software", hidapi)
            # Each licence the files are offered under, with its text.
            for name in re.search(r"^License: (.*)$", hidapi, re.M).group(1).replace(",", "").split():
                if name not in ("or", "and"):
                    self.assertRegex(hidapi, r"(?m)^License: %s\n [^\n]+" % re.escape(name))
        fonts = text.split("\nFonts (", 1)[1]
        self.assertIn("Source: Debian source package fonts-open-sans, version ", fonts)
        for name in sorted(os.listdir(FONTS)):
            if name.endswith(".ttf"):
                self.assertRegex(fonts, r"%s: Open Sans[^,]*, Version \d+\.\d+\. Digitized data copyright"
                                 % re.escape(name))
        self.assertIn("License: Apache-2.0", fonts)

    def test_notices_follow_what_sdl_was_configured_with(self):
        # The same prefix with SDL configured without HIDAPI.
        prefix = os.path.join(self.work, "deps")
        shutil.copytree(ARGS.deps, prefix, symlinks=True, copy_function=os.symlink)
        config = os.path.join(prefix, "include", "SDL2", "SDL_config.h")
        text = read(config)
        os.remove(config)
        with open(config, "w") as f:
            f.write(re.sub(r"/\* #undef SDL_HIDAPI_DISABLED \*/|#define SDL_HIDAPI_DISABLED 1",
                           "#define SDL_HIDAPI_DISABLED 1", text))
        code, text, err = notices(prefix, FONTS, self.work)
        self.assertEqual(code, 0, err)
        self.assertNotIn("HIDAPI", "\n".join(sections(text)))

    def test_a_font_that_no_debian_package_ships_is_refused(self):
        fonts = os.path.join(self.work, "fonts")
        shutil.copytree(FONTS, fonts)
        with open(os.path.join(fonts, "OpenSans-Bold.ttf"), "r+b") as f:
            f.seek(-1, os.SEEK_END)
            last = f.read(1)
            f.seek(-1, os.SEEK_END)
            f.write(bytes([last[0] ^ 1]))
        code, _, err = notices(ARGS.deps, fonts, self.work)
        self.assertNotEqual(code, 0)
        self.assertIn("OpenSans-Bold.ttf is not the file of an installed Debian package", err)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--deps", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=1)
