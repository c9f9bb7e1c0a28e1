#!/usr/bin/env python3
"""The guide's example runner fails the test for a broken example: a block
that exits non-zero, output that lacks a documented line, a shell block
without a marker. Runs on fixture pages against a stand-in build folder."""
import os
import subprocess
import sys
import tempfile
import unittest

RUNNER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "guide",
                      "run_examples.py")
STUDIO_FILES = ("bin/TavrinLauncher.exe", "bin/TavrinCheck.exe", "bin/DemoGame.exe",
                "bin/Tavrin/Localization/en_us.cfg", "testmodules/module_normal.dll",
                "nativemodules/tavrin_native_demo.so", "testpki/tavrin-oy.pem", "testpki/tavrin-oy-key.pem")


class RunnerTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory(prefix="tavrin-runner-test-")
        self.docs = os.path.join(self.work.name, "docs")
        self.build = os.path.join(self.work.name, "build", "windows")
        os.makedirs(self.docs)
        for name in STUDIO_FILES:
            path = os.path.join(self.build, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write("stand-in\n")
        with open(os.path.join(self.build, "CMakeCache.txt"), "w") as f:
            f.write("TAVRIN_DEV_CDN_PORT:STRING=18443\nTAVRIN_COLLECTOR_PORT:STRING=18444\n")

    def tearDown(self):
        self.work.cleanup()

    def page(self, text):
        with open(os.path.join(self.docs, "page.md"), "w") as f:
            f.write(text)

    def run_examples(self, *extra):
        environment = dict(os.environ)
        environment.pop("WINEPREFIX", None)
        result = subprocess.run([sys.executable, RUNNER, "--docs", self.docs, *extra], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, env=environment)
        return result.returncode, result.stdout

    def test_verdicts(self):
        cases = [
            ("passes, files carry over, the studio is laid out",
             "```sh tested\necho one > made.txt\nls release/Tavrin MyGame\n```\n"
             "```text output\nMyGame.exe\nLocalization\n```\n"
             "```sh tested\ncat made.txt; echo \"port $TAVRIN_DEV_CDN_PORT\"\n```\n"
             "```text output\none\nport 18443\n```\n", 0, "2 tested blocks on 1 pages, 0 shown only; 0 failed"),
            ("a failing command", "```sh tested\ntrue\nfalse\necho never\n```\n", 1, "exit code 1"),
            ("a failing command inside a pipeline", "```sh tested\nfalse | cat\n```\n", 1, "exit code 1"),
            ("a documented line the output lacks", "```sh tested\necho 204\n```\n```text output\n207\n```\n", 1,
             "expected output line not found (in order): '207'"),
            ("documented lines out of order", "```sh tested\necho a; echo b\n```\n```text output\nb\na\n```\n",
             1, "not found (in order): 'a'"),
            ("a later block after a failure is not run",
             "```sh tested\nexit 3\n```\n```sh tested\necho second\n```\n", 1, "exit code 3"),
            ("a shown-only block is not run", "```sh not-run\nexit 1\n```\n", 0, "1 shown only; 0 failed"),
        ]
        for name, text, code, needle in cases:
            with self.subTest(name):
                self.page(text)
                got, output = self.run_examples("--build", self.build)
                self.assertEqual(got, code, output)
                self.assertIn(needle, output)
                if name == "a later block after a failure is not run":
                    self.assertNotIn("second", output.split("--- output")[-1])

    def test_marker_problems_fail_even_without_a_build(self):
        cases = [
            ("unmarked shell block", "```sh\necho hi\n```\n", "marked neither 'tested' nor 'not-run'"),
            ("unmarked bash block", "```bash\necho hi\n```\n", "marked neither 'tested' nor 'not-run'"),
            ("output block after nothing tested", "```text output\nhi\n```\n", "follows no tested block"),
            ("link to a missing page", "See [there](nowhere.md).\n", "leads to no file"),
            ("link to a missing heading", "# Top\nSee [below](#bottom).\n", "leads to no heading"),
        ]
        for name, text, needle in cases:
            with self.subTest(name):
                self.page(text)
                code, output = self.run_examples("--list")
                self.assertEqual(code, 1, output)
                self.assertIn(needle, output)

    def test_links_to_headings_hold(self):
        self.page("# Other files: `-a_b=`\n```text\n# not a heading\n```\n"
                  "[x](#other-files--a_b) [y](page.md#other-files--a_b)\n```sh not-run\ntrue\n```\n")
        code, output = self.run_examples("--list")
        self.assertEqual(code, 0, output)

    def test_plain_text_blocks_are_not_commands(self):
        self.page("```text\nMyGame/\n  Tavrin/\n```\n```sh tested\ntrue\n```\n")
        code, output = self.run_examples("--list")
        self.assertEqual(code, 0, output)
        self.assertIn("tested   page.md:5", output)


if __name__ == "__main__":
    unittest.main()
