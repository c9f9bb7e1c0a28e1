#!/usr/bin/env python3
"""Telemetry collector over HTTPS, for tests and demos.

Records every POST as one JSON line in ROOT/posts.jsonl: path, query, the
header lines in the order received, and the body as text. Answers 204, or
the status written in ROOT/status.

    collector.py --root DIR --port PORT --cert server.pem [--host 127.0.0.1]
"""
import http.server
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "devcdn"))
import devcdn  # noqa: E402

MAX_BODY = 1 << 20


class CollectorHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TavrinCollector/1.0"

    def log_message(self, format, *args):
        pass

    def answer_status(self):
        try:
            with open(os.path.join(self.server.root, "status")) as f:
                return int(f.read().strip())
        except (OSError, ValueError):
            return 204

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(min(length, MAX_BODY)) if length > 0 else b""
        path, _, query = self.path.partition("?")
        entry = {
            "path": path,
            "query": query,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body": body.decode("utf-8", "replace"),
        }
        with self.server.log_lock:
            with open(os.path.join(self.server.root, "posts.jsonl"), "a") as log:
                log.write(json.dumps(entry) + "\n")
        status = self.answer_status()
        self.send_response(status)
        if status not in (204, 304):
            self.send_header("Content-Length", "0")
        self.end_headers()


if __name__ == "__main__":
    devcdn.serve(CollectorHandler, "Telemetry collector")
