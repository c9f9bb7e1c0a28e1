#!/usr/bin/env python3
"""The floor check on small trees: what it refuses and what it lets pass, and
the README drawing that follows its floor list."""
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SCRIPT = os.path.join(ROOT, "tools", "floors", "check_floors.py")


def run(*args):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True)


class FloorRuleTest(unittest.TestCase):
    def check(self, files):
        with tempfile.TemporaryDirectory() as src:
            for path, text in files.items():
                os.makedirs(os.path.dirname(os.path.join(src, path)), exist_ok=True)
                with open(os.path.join(src, path), "w") as out:
                    out.write(text)
            return run(src)

    def test_cases(self):
        cases = [
            # (name, files, breaks expected, a phrase of the report)
            ("down and within", {"core/a.cpp": '#include "core/b.h"\n#include "loader/x.h"\n#include "base/y.h"\n',
                                 "loader/x.h": '#include "base/y.h"\n', "base/y.h": "#include <cstdint>\n"}, 0, ""),
            ("up", {"base/a.cpp": '#include "core/b.h"\n', "core/b.h": ""}, 1, "core is above base"),
            ("sideways", {"ui/a.h": '  #  include "loader/b.h"\n', "loader/b.h": ""}, 1, "share a floor"),
            ("nested folder", {"settings/deep/a.cpp": '#include "telemetry/b.h"\n', "telemetry/b.h": ""}, 1,
             "telemetry is above settings"),
            ("room on no floor", {"extra/a.cpp": ""}, 1, "a room on no floor"),
            ("generated and system headers", {"base/a.cpp": '#include "tavrin_version.h"\n#include <core/x.h>\n'},
             0, ""),
            ("not a source file", {"base/notes.txt": '#include "core/b.h"\n', "core/b.h": ""}, 0, ""),
        ]
        for name, files, breaks, phrase in cases:
            with self.subTest(name):
                result = self.check(files)
                self.assertEqual(result.returncode, 1 if breaks else 0, result.stdout)
                self.assertIn("floors: %d include rule break(s)" % breaks, result.stdout)
                self.assertIn(phrase, result.stdout)

    def test_readme_shows_the_floors(self):
        drawing = run("--draw").stdout.strip()
        with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as readme:
            self.assertIn(drawing, readme.read(), "README's layout section lost step with the floor list")


if __name__ == "__main__":
    unittest.main()
