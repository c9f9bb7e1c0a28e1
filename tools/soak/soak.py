#!/usr/bin/env python3
"""Launch after launch of the launcher under Wine against a CDN that
misbehaves at random, with the module cache damaged between runs.

The loopback dev CDN (tools/devcdn) picks one fault per request from a
generator seeded with SEED; this script damages the cache from a second
generator of the same seed. For every run it derives the exit code the
launcher owes from the fault the run met and the state of the cache, and
checks that the run did not crash, that a damaged cache was neither offered
for revalidation nor loaded, that the log reached its last line, that the run
ended within the transport's limits and that a cached pair is a true one.
One line per run, then "N passed, M failed"; exit status 0 only when every
run holds.

    soak.py --build BUILD_DIR --work DIR --runs N [--seed S]
            (--servers SERVERS_DIR | --port CDN_PORT)

With --servers the CDN already running for the tests (tools/devcdn/
test_servers.sh) serves the soak's module; with --port the script starts a
CDN of its own with a fresh test CA. The Wine session (prefix, display) is
the caller's.
"""
import argparse
import glob
import hashlib
import json
import os
import random
import shutil
import socket
import subprocess
import sys
import time

PRODUCT = "soak-product"
DEPLOYMENT = "soak-deployment"
SYSTEM = "linux64"
MODULE_FILE = "tavrin_linux_x64.kzv"
TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The launcher's transport limits (src/acquisition/module_download_win.cpp):
# 30 s to connect, and a transfer slower than 5120 bytes/s for 60 s ends.
CONNECT_LIMIT_S = 30
LOW_SPEED_LIMIT_S = 60
# Starting Wine, the splash, loading the module and the game, exiting.
LAUNCH_SLACK_S = 45
SLOW_BYTES_PER_S = 1000  # devcdn's "slow" trickle

# Answers the launcher must treat as "CDN unreachable": a valid cache is
# launched instead, else the launch ends with 202.
UNREACHABLE = {"reset-headers", "reset", "stall", "status 500", "status 503", "cut", "length"}
# Answers that end the launch with 204 whatever the cache holds.
UNAVAILABLE = {"status 404", "body4096"}
DAMAGES = ["delete module", "delete metadata", "truncate module", "corrupt module", "corrupt metadata",
           "stale partial"]
DAMAGE_CHANCE = 0.3
FINISHED = {0: 301, 202: 202, 204: 204}


def sha1_file(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()


def wait_for_port(port, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        with socket.socket() as s:
            s.settimeout(0.2)
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return True
        time.sleep(0.1)
    return False


class Cdn:
    """The module, its changed build and the random fault switch in a CDN tree."""

    def __init__(self, args, work):
        self.process = None
        if args.servers:
            self.root = os.path.join(args.servers, "cdn")
            self.ca = os.path.join(args.servers, "ca", "ca.pem")
        else:
            ca_dir = os.path.join(work, "ca")
            subprocess.run([os.path.join(TOOLS, "testca", "make_test_ca.sh"), ca_dir], check=True)
            self.root = os.path.join(work, "cdn")
            self.ca = os.path.join(ca_dir, "ca.pem")
            os.makedirs(self.root, exist_ok=True)
            out = open(os.path.join(work, "devcdn.out"), "w")
            self.process = subprocess.Popen(
                [sys.executable, os.path.join(TOOLS, "devcdn", "devcdn.py"), "--root", self.root, "--port",
                 str(args.port), "--cert", os.path.join(ca_dir, "server.pem")], stdout=out, stderr=out)
            if not wait_for_port(args.port) or self.process.poll() is not None:
                raise SystemExit("soak: the CDN did not start on port %d" % args.port)
        self.module = os.path.join(self.root, PRODUCT, DEPLOYMENT, SYSTEM)

    def publish(self, native_module, work, seed):
        os.makedirs(os.path.dirname(self.module), exist_ok=True)
        modpack = os.path.join(TOOLS, "modpack", "modpack.py")
        subprocess.run([sys.executable, modpack, native_module, self.module], check=True)
        # A new build: the same module with trailing bytes, so it still loads.
        padded = os.path.join(work, "changed.so")
        with open(native_module, "rb") as f, open(padded, "wb") as out:
            out.write(f.read() + b"\0" * 4096)
        subprocess.run([sys.executable, modpack, padded, self.module + ".changed"], check=True)
        with open(self.module + ".fault", "w") as f:
            f.write("random %s\n" % seed)

    def etag(self, fault):
        path = self.module + ".changed" if fault == "changed" else self.module
        return '"%s"' % sha1_file(path)

    def requests_since(self, count):
        """The soak's requests after the first count of them."""
        try:
            with open(os.path.join(self.root, "requests.log")) as f:
                lines = [json.loads(line) for line in f if line.strip()]
        except OSError:
            return []
        mine = [e for e in lines if ("/%s/%s/" % (PRODUCT, DEPLOYMENT)) in e["path"]]
        return mine[count:]

    def stop(self):
        for suffix in (".fault", ".changed", ""):
            try:
                os.remove(self.module + suffix)
            except OSError:
                pass
        if self.process is not None:
            self.process.terminate()
            self.process.wait(10)


class CacheModel:
    """What the cache holds as far as the launcher may trust it."""

    def __init__(self):
        self.valid = False
        self.etag = None


def cache_folder():
    prefix = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine"))
    found = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "Tavrin", PRODUCT,
                                   DEPLOYMENT))
    return found[0] if found else None


def damage_cache(folder, rng, model):
    """Damages the cache at random; returns what was done ("" for nothing)."""
    if folder is None or rng.random() >= DAMAGE_CHANCE:
        return ""
    module = os.path.join(folder, MODULE_FILE)
    metadata = module + ".metadata"
    damage = rng.choice(DAMAGES)
    if damage == "stale partial":
        with open(module + ".partial", "wb") as f:
            f.write(b"half a module")
        with open(metadata + ".partial", "w") as f:
            f.write("sha1=")
        return damage
    if not os.path.exists(module) or not os.path.exists(metadata):
        return ""
    if damage == "delete module":
        os.remove(module)
    elif damage == "delete metadata":
        os.remove(metadata)
    elif damage == "truncate module":
        with open(module, "r+b") as f:
            f.truncate(os.path.getsize(module) // 2)
    elif damage == "corrupt module":
        with open(module, "r+b") as f:
            at = rng.randrange(os.path.getsize(module))
            f.seek(at)
            byte = f.read(1)
            f.seek(at)
            f.write(bytes([byte[0] ^ (1 << rng.randrange(8))]))
    elif damage == "corrupt metadata":
        with open(metadata, newline="") as f:
            text = f.read()
        at = text.index("sha1=") + 5 + rng.randrange(40)
        text = text[:at] + ("0" if text[at] != "0" else "1") + text[at + 1:]
        with open(metadata, "w", newline="") as f:
            f.write(text)
    model.valid = False
    return damage


def expected_exit(fault, model):
    if fault in UNAVAILABLE:
        return 204
    if fault in UNREACHABLE:
        return 0 if model.valid else 202
    return 0  # none, changed, slow


def time_limit(fault, module_size):
    limit = LAUNCH_SLACK_S
    if fault == "stall":
        limit += LOW_SPEED_LIMIT_S
    if fault == "slow":
        limit += module_size // SLOW_BYTES_PER_S + 1
    return limit


def read_log(folder):
    if folder is None:
        return None
    try:
        with open(os.path.join(folder, "anticheatlauncher.log"), "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return None


def clear_logs(folder):
    if folder is not None:
        for path in glob.glob(os.path.join(folder, "anticheatlauncher*.log")):
            os.remove(path)


def check_run(run, model_before, expected, rc, elapsed, log, wine_output, requests, cdn, folder):
    """Every broken promise of one run, as short reasons."""
    problems = []
    if rc == 124:
        problems.append("hung")
    elif rc not in (0, 202, 204, 206) or "Unhandled exception" in wine_output or "page fault" in wine_output:
        problems.append("crashed (exit %d)" % rc)
    if rc != expected:
        problems.append("exit %d, expected %d" % (rc, expected))
    if len(requests) != 1:
        problems.append("%d requests" % len(requests))
    else:
        offered = [v for k, v in requests[0]["headers"] if k.lower() == "if-none-match"]
        if model_before.valid and offered != [model_before.etag]:
            problems.append("valid cache not offered (%s)" % offered)
        if not model_before.valid and offered:
            problems.append("damaged cache offered for revalidation")
    if log is None:
        problems.append("no log")
    else:
        lines = log.replace("\r\n", "\n").split("\n")
        if lines[-1] != "":
            problems.append("log cut inside a line")
        finished = FINISHED.get(rc, rc)
        if not any("Launcher finished with: %d," % finished in line for line in lines):
            problems.append("log lost its last result line")
        if not any(line.endswith("Connecting to URL: %s" % requests_url(cdn)) for line in lines):
            problems.append("log lost the request line")
        if not any("Connect result: " in line for line in lines):
            problems.append("log lost the transfer result")
    if elapsed > run["limit"]:
        problems.append("took %.1f s, limit %d s" % (elapsed, run["limit"]))
    if folder is not None:
        module = os.path.join(folder, MODULE_FILE)
        for leftover in (".partial", ".metadata.partial", ".previous"):
            if os.path.exists(module + leftover):
                problems.append("left %s" % leftover)
        if rc == 0:
            problems += check_cached_pair(module, run["etag"])
    return problems


def requests_url(cdn):
    return "https://localhost:%d/modules/%s/%s/%s" % (cdn.port, PRODUCT, DEPLOYMENT, SYSTEM)


def check_cached_pair(module, etag):
    try:
        with open(module + ".metadata", newline="") as f:
            metadata = f.read()
        digest = sha1_file(module)
    except OSError:
        return ["launched module not cached"]
    if metadata != "sha1=%s\r\netag=%s\r\n" % (digest, etag):
        return ["cached pair does not match (%r)" % metadata]
    return []


def main():
    parser = argparse.ArgumentParser(description="Launcher soak against a faulty loopback CDN")
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=300)
    parser.add_argument("--seed", default=None)
    parser.add_argument("--servers")
    parser.add_argument("--port", type=int, default=int(os.environ.get("TAVRIN_DEV_CDN_PORT", "18443")))
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else str(random.SystemRandom().randrange(1, 10**6))
    print("soak: %d runs, seed %s" % (args.runs, seed), flush=True)

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    game = os.path.join(work, "game")
    os.makedirs(os.path.join(game, "Tavrin"))
    for name in ("TavrinLauncher.exe", "DemoGame.exe"):
        shutil.copy(os.path.join(args.build, "bin", name), game)
    with open(os.path.join(game, "Tavrin", "Settings.json"), "w") as f:
        json.dump({"title": "Tavrin Soak", "executable": "DemoGame.exe", "productid": PRODUCT,
                   "sandboxid": "soak-sandbox", "deploymentid": DEPLOYMENT, "environment": "gamedev",
                   "wait_for_game_process_exit": "false"}, f, indent=4)
    folder = cache_folder()
    if folder is not None:
        shutil.rmtree(folder)

    cdn = Cdn(args, work)
    cdn.port = args.port
    env = dict(os.environ, CURL_CA_BUNDLE=cdn.ca, QRV_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR="1")
    damage_rng = random.Random("%s-cache" % seed)
    model = CacheModel()
    passed = failed = 0
    try:
        cdn.publish(os.path.join(args.build, "nativemodules", "tavrin_native_demo.so"), work, seed)
        module_size = os.path.getsize(cdn.module)
        print("%4s  %-14s %-17s %8s %4s %6s  %s" % ("run", "fault", "cache damage", "expected", "exit",
                                                   "time", "verdict"), flush=True)
        for number in range(1, args.runs + 1):
            folder = cache_folder()
            damage = damage_cache(folder, damage_rng, model)
            before = CacheModel()
            before.valid, before.etag = model.valid, model.etag
            seen = len(cdn.requests_since(0))
            clear_logs(folder)
            started = time.monotonic()
            launched = subprocess.run(
                ["timeout", "300", "wine", "TavrinLauncher.exe", "--no-window", "--exit-after-ms", "200"],
                cwd=game, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            elapsed = time.monotonic() - started
            folder = cache_folder()
            requests = cdn.requests_since(seen)
            fault = requests[0]["fault"] if requests else "?"
            expected = expected_exit(fault, before)
            run = {"limit": time_limit(fault, module_size),
                   "etag": before.etag if fault in UNREACHABLE else cdn.etag(fault)}
            problems = check_run(run, before, expected, launched.returncode, elapsed, read_log(folder),
                                 launched.stdout.decode("utf-8", "replace"), requests, cdn, folder)
            if launched.returncode == 0:
                model.valid, model.etag = True, run["etag"]
            if problems:
                failed += 1
            else:
                passed += 1
            print("%4d  %-14s %-17s %8d %4d %5.1fs  %s" % (
                number, fault, damage or "-", expected, launched.returncode, elapsed,
                "ok" if not problems else "FAIL: " + "; ".join(problems)), flush=True)
    finally:
        cdn.stop()
    print("soak: seed %s" % seed)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and passed == args.runs else 1


if __name__ == "__main__":
    sys.exit(main())
