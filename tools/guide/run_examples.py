#!/usr/bin/env python3
"""Runs the shell examples of the integrator's guide (docs/*.md).

Every fenced block whose info string is a shell language (sh, bash, shell,
console) carries a second word:

    ```sh tested     run by this script
    ```sh not-run    shown only (too heavy for a test); kept few

An unmarked shell block is an error, so no example escapes the test by
accident; so is a link between the pages that leads to no file or heading. A block marked `text output` right after a tested block lists
lines that must appear in that block's output, in order, each as part of a
line (two in a row may be parts of the same line); "..." stands for anything.

Each page runs in a fresh "studio" folder laid out as a studio has it:

    release/       the release zip unpacked (TavrinLauncher.exe, TavrinCheck.exe,
                   Tavrin/Settings.json, Tavrin/Settings.txt, Tavrin/Localization/)
    MyGame/        the game folder, holding the game MyGame.exe
    modules/       the module builds the studio received: tavrin_module.dll
                   (Windows), tavrin_module.so (Linux, for players under Wine)
    signing/       the studio's code-signing certificate chain and key
    tools, dev, build   this source tree's toolkit, entry point and build folder

Blocks of a page run in order, each with bash -eo pipefail starting in the
studio folder, so files carry over from block to block and the working
directory does not. The programs of the development build stand in for
the release's: under Wine, the same code; its CDN host is
localhost:$TAVRIN_DEV_CDN_PORT.

    run_examples.py --build BUILD_DIR [--docs DOCS_DIR] [PAGE.md ...]
    run_examples.py --list [--docs DOCS_DIR]
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

SHELLS = ("sh", "bash", "shell", "console")
FENCE = re.compile(r"^(```+|~~~+)\s*(.*)$")
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BLOCK_TIMEOUT = 300


class Block:
    def __init__(self, page, line, info, text):
        self.page = page
        self.line = line
        self.info = info.split()
        self.text = text
        self.expected = None

    @property
    def language(self):
        return self.info[0] if self.info else ""

    @property
    def marker(self):
        return self.info[1] if len(self.info) > 1 else ""

    def where(self):
        return f"{os.path.basename(self.page)}:{self.line}"


def read_blocks(page):
    """Fenced blocks of a page, in order, with their opening line number."""
    blocks = []
    fence = None
    with open(page, encoding="utf-8") as source:
        lines = source.read().split("\n")
    for number, line in enumerate(lines, 1):
        match = FENCE.match(line.strip())
        if fence is None:
            if match:
                fence = (match.group(1), number, match.group(2), [])
            continue
        if match and match.group(1).startswith(fence[0]) and not match.group(2):
            blocks.append(Block(page, fence[1], fence[2], "\n".join(fence[3]) + "\n"))
            fence = None
            continue
        fence[3].append(line)
    if fence is not None:
        raise SystemExit(f"{os.path.basename(page)}:{fence[1]}: a fenced block is never closed")
    return blocks


def classify(pages):
    """The tested blocks of each page (with their expected output), the
    not-run ones, and the problems found."""
    tested, shown, problems = {}, [], []
    for page in pages:
        previous = None
        for block in read_blocks(page):
            if block.language in SHELLS:
                if block.marker == "tested":
                    tested.setdefault(page, []).append(block)
                elif block.marker == "not-run":
                    shown.append(block)
                else:
                    problems.append(f"{block.where()}: a shell block marked neither 'tested' nor 'not-run'")
            elif block.info[:2] == ["text", "output"]:
                if previous is None or previous.marker != "tested" or previous.expected is not None:
                    problems.append(f"{block.where()}: an output block that follows no tested block")
                else:
                    previous.expected = [line.strip() for line in block.text.splitlines() if line.strip()]
            previous = block
    return tested, shown, problems


LINK = re.compile(r"\]\(([^)\s]+)\)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*$")


def slug(heading):
    """The anchor a Markdown renderer gives a heading (GitHub's rule)."""
    text = heading.strip().lower().replace("`", "")
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(page):
    found = set()
    fenced = False
    with open(page, encoding="utf-8") as source:
        for line in source:
            if FENCE.match(line.strip()):
                fenced = not fenced
            elif not fenced and HEADING.match(line):
                found.add(slug(HEADING.match(line).group(1)))
    return found


def link_problems(pages):
    """Links between the pages, and to their headings, that lead nowhere."""
    problems = []
    for page in pages:
        folder = os.path.dirname(page)
        with open(page, encoding="utf-8") as source:
            text = source.read()
        for target in LINK.findall(text):
            if re.match(r"[a-z]+:", target):
                continue
            path, _, anchor = target.partition("#")
            full = os.path.normpath(os.path.join(folder, path)) if path else page
            if not os.path.exists(full):
                problems.append(f"{os.path.basename(page)}: the link {target} leads to no file")
            elif anchor and full.endswith(".md") and anchor not in anchors(full):
                problems.append(f"{os.path.basename(page)}: the link {target} leads to no heading")
    return problems


def output_problem(expected, output):
    """None when every expected line is part of an output line, in order."""
    lines = output.splitlines()
    at = 0
    for wanted in expected:
        if wanted == "...":
            continue
        while at < len(lines) and wanted not in lines[at]:
            at += 1
        if at == len(lines):
            return f"expected output line not found (in order): {wanted!r}"
    return None


def cmake_cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def copy(source, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy2(source, target)


def lay_out_studio(studio, build, build_root):
    bin_dir = os.path.join(build, "bin")
    release = os.path.join(studio, "release")
    for program in ("TavrinLauncher.exe", "TavrinCheck.exe"):
        copy(os.path.join(bin_dir, program), os.path.join(release, program))
    for name in ("Settings.json", "Settings.txt"):
        copy(os.path.join(SOURCE, "tools", "release", name), os.path.join(release, "Tavrin", name))
    shutil.copytree(os.path.join(bin_dir, "Tavrin", "Localization"),
                    os.path.join(release, "Tavrin", "Localization"))
    copy(os.path.join(bin_dir, "DemoGame.exe"), os.path.join(studio, "MyGame", "MyGame.exe"))
    copy(os.path.join(build, "testmodules", "module_normal.dll"),
         os.path.join(studio, "modules", "tavrin_module.dll"))
    copy(os.path.join(build, "nativemodules", "tavrin_native_demo.so"),
         os.path.join(studio, "modules", "tavrin_module.so"))
    pki = os.path.join(build, "testpki")
    copy(os.path.join(pki, "tavrin-oy.pem"), os.path.join(studio, "signing", "studio-chain.pem"))
    copy(os.path.join(pki, "tavrin-oy-key.pem"), os.path.join(studio, "signing", "studio-key.pem"))
    os.symlink(os.path.join(SOURCE, "tools"), os.path.join(studio, "tools"))
    os.symlink(os.path.join(SOURCE, "dev"), os.path.join(studio, "dev"))
    os.symlink(build_root, os.path.join(studio, "build"))


def forget_launches(product_ids):
    """Removes the module cache and logs of the guide's products from the
    Wine prefix, so every page starts as a player's first launch."""
    prefix = os.environ.get("WINEPREFIX")
    if not prefix:
        return
    for product in product_ids:
        for folder in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "Tavrin",
                                             product)):
            shutil.rmtree(folder, ignore_errors=True)


def stop_leftover_servers(studio):
    """A failed page may leave its nginx running: stop every one under the studio."""
    stopper = os.path.join(SOURCE, "tools", "nginx", "nginx_cdn.sh")
    for pid_file in glob.glob(os.path.join(studio, "**", "nginx.pid"), recursive=True):
        subprocess.run([stopper, "stop", os.path.dirname(pid_file)], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


def run_page(page, blocks, build, build_root, environment):
    studio = tempfile.mkdtemp(prefix="tavrin-guide-")
    failures = 0
    try:
        lay_out_studio(studio, build, build_root)
        for block in blocks:
            try:
                result = subprocess.run(["bash", "-eo", "pipefail", "-c", block.text], cwd=studio,
                                        env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, errors="replace",
                                        timeout=BLOCK_TIMEOUT)
                output, code = result.stdout, result.returncode
            except subprocess.TimeoutExpired as expired:
                output = expired.stdout or ""
                if isinstance(output, bytes):
                    output = output.decode(errors="replace")
                code = f"a time-out after {BLOCK_TIMEOUT} s"
            problem = None
            if code != 0:
                problem = f"exit code {code}"
            elif block.expected:
                problem = output_problem(block.expected, output)
            if problem:
                failures += 1
                print(f"FAIL {block.where()}: {problem}")
                print("  --- block\n" + "".join(f"  | {line}\n" for line in block.text.splitlines()))
                print("  --- output\n" + "".join(f"  > {line}\n" for line in output.splitlines()))
                break  # later blocks build on this one
            print(f"ok   {block.where()}")
    finally:
        stop_leftover_servers(studio)
        shutil.rmtree(studio, ignore_errors=True)
    return failures


def main(argv):
    parser = argparse.ArgumentParser(description="Runs the guide's tested shell examples.")
    parser.add_argument("--docs", default=os.path.join(SOURCE, "docs"))
    parser.add_argument("--build", help="the windows build folder")
    parser.add_argument("--list", action="store_true", help="list the blocks and check their markers only")
    parser.add_argument("pages", nargs="*", help="page file names (default: every page)")
    args = parser.parse_args(argv)

    pages = sorted(glob.glob(os.path.join(args.docs, "*.md")))
    tested, shown, problems = classify(pages)
    problems += link_problems(pages)
    for problem in problems:
        print(f"FAIL {problem}")
    if args.list or problems:
        for page, blocks in tested.items():
            for block in blocks:
                print(f"tested   {block.where()}")
        for block in shown:
            print(f"not-run  {block.where()}")
        return 1 if problems else 0
    if not args.build:
        parser.error("--build is needed to run the examples")

    build = os.path.abspath(args.build)
    environment = dict(os.environ)
    environment["TAVRIN_DEV_CDN_PORT"] = cmake_cache_value(build, "TAVRIN_DEV_CDN_PORT")
    environment["TAVRIN_COLLECTOR_PORT"] = cmake_cache_value(build, "TAVRIN_COLLECTOR_PORT")
    environment.setdefault("WINEDEBUG", "-all")
    environment.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    # The examples set the switches they need themselves, where a reader sees them.
    environment.pop("QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR", None)
    environment.pop("QRV_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE", None)
    build_root = os.path.dirname(build)

    selected = [p for p in pages if not args.pages or os.path.basename(p) in args.pages]
    failures = 0
    count = 0
    for page in selected:
        blocks = tested.get(page, [])
        if not blocks:
            continue
        forget_launches(("my-game",))
        count += len(blocks)
        failures += run_page(page, blocks, build, build_root, environment)
    print(f"{count} tested blocks on {len(selected)} pages, {len(shown)} shown only; {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
