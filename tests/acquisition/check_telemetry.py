#!/usr/bin/env python3
"""Checks the telemetry a launcher run posted to the loopback collector.

    check_telemetry.py POSTS_FILE LINES_BEFORE EXIT_CODE WINE_VERSION
"""
import json
import re
import sys

SDK_PATH = "/telemetry/data/moxtrel/api/v1/public/data"
FIXED_KEYS = ["EventName", "Source", "BuildTime", "ProductId", "SandboxId", "DeploymentId",
              "OSName", "OSVer"]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def main(argv):
    posts_file, before, exit_code, wine_version = argv[1], int(argv[2]), int(argv[3]), argv[4]
    if exit_code != 204:
        fail("launcher exit code %d, expected 204" % exit_code)
    try:
        with open(posts_file) as f:
            lines = f.read().splitlines()[before:]
    except OSError:
        lines = []
    if len(lines) != 1:
        fail("expected one POST, got %d" % len(lines))
    post = json.loads(lines[0])
    if post["path"] != SDK_PATH:
        fail("path " + post["path"])
    query = re.fullmatch(r"AppVersion=1\.0\.0&AppEnvironment=Production&UploadType=sdkevents&"
                         r"AppID=QRVSDK\.AntiCheatExt\.Launcher&SessionId=([0-9a-f-]{36})",
                         post["query"])
    if not query:
        fail("query " + post["query"])
    headers = dict(post["headers"])
    if headers.get("Content-Type") != "application/json":
        fail("Content-Type %r" % headers.get("Content-Type"))
    if headers.get("User-Agent") != "Tavrin QRV Bootstrapper/1.9.4":
        fail("User-Agent %r" % headers.get("User-Agent"))

    body = post["body"]
    document = json.loads(body)
    # Byte for byte: the compact form with members in the written order.
    if json.dumps(document, separators=(",", ":"), ensure_ascii=False) != body:
        fail("document is not in the compact form: " + body)
    events = document["Events"]
    if not events:
        fail("no events")
    for event in events:
        keys = list(event.keys())
        if keys[:len(FIXED_KEYS)] != FIXED_KEYS or len(keys) <= len(FIXED_KEYS):
            fail("members of %r" % keys)
        expected = {
            "Source": "Bootstrapper/1.9.4",
            "ProductId": "telemetry-product",
            "SandboxId": "telemetry-sandbox",
            "DeploymentId": "telemetry-deployment",
            "OSName": "Wine",
            "OSVer": wine_version,
        }
        for key, value in expected.items():
            if event[key] != value:
                fail("%s is %r, expected %r" % (key, event[key], value))
        if not re.fullmatch(r"[A-Z][a-z]{2} [ 0-9]\d \d{4} \d\d:\d\d:\d\d", event["BuildTime"]):
            fail("BuildTime %r" % event["BuildTime"])
    results = [e for e in events if e["EventName"] == "AntiCheat.Info.BootstrapperResult"]
    if len(results) != 1 or results[0].get("LaunchResult") != 204:
        fail("no BootstrapperResult event with LaunchResult 204: " + body)
    print("telemetry document: %d events, %d bytes, session %s" % (len(events), len(body),
                                                                    query.group(1)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
