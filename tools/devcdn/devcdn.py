#!/usr/bin/env python3
"""Development module CDN over HTTPS, for tests and demos.

Serves GET /modules/{productid}/{deploymentid}/{system} (also below
/builds/{id}/, as an override file may name it) from
ROOT/{productid}/{deploymentid}/{system}, a file in the encoded form the
launcher decodes (tools/modpack). The ETag is strong: the quoted SHA-1 of the
file. A matching If-None-Match gets 304.

A test switches a fault on for one module by writing the file
ROOT/{productid}/{deploymentid}/{system}.fault with one of:
    status N   answer with status N and a short body (404, 500, 503, 301...)
    body4096   answer 200 with exactly 4096 bytes
    noetag     answer 200 with the module but without an ETag
    slow       send the module at about 1000 bytes per second
    reset      send half of the module, then reset the connection
    reset-headers  reset the connection before any header
    stall      send the headers and 100 bytes, then nothing for two minutes
    cut        send three quarters of the module under its full length, then close
    length     announce 1000 bytes more than the module, send it, then close
    changed    answer 200 with {system}.changed under that file's own ETag
    random SEED  one of RANDOM_FAULTS per request, drawn in order from a
               generator seeded with SEED; a drawn fault other than "none"
               hits the transfer even when If-None-Match matches
Every request is appended to ROOT/requests.log as one JSON line with the
method, path, the header lines in the order received and the fault applied.

    devcdn.py --root DIR --port PORT --cert server.pem [--host 127.0.0.1]
"""
import argparse
import hashlib
import http.server
import json
import os
import random
import socket
import ssl
import struct
import sys
import threading
import time

MAX_PATH_PARTS = 3
SLOW_CHUNK = 250
SLOW_PAUSE = 0.25
STALL_SECONDS = 120
RANDOM_FAULTS = ["none", "reset-headers", "reset", "stall", "status 500", "status 503", "status 404",
                 "cut", "body4096", "changed", "length", "slow"]


class CdnHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TavrinDevCdn/1.0"

    def log_message(self, format, *args):
        pass

    def record(self, fault=""):
        entry = {
            "method": self.command,
            "path": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "fault": fault,
        }
        with self.server.log_lock:
            with open(os.path.join(self.server.root, "requests.log"), "a") as log:
                log.write(json.dumps(entry) + "\n")

    def module_path(self):
        parts = self.path.split("?", 1)[0].split("/")
        # Undeployed builds: /builds/{id}/modules/... serves the same folder.
        if len(parts) > 3 and parts[1] == "builds":
            parts = [""] + parts[3:]
        if len(parts) != 2 + MAX_PATH_PARTS or parts[0] != "" or parts[1] != "modules":
            return None
        names = parts[2:]
        if any(name in ("", ".", "..") or "\\" in name for name in names):
            return None
        return os.path.join(self.server.root, *names)

    def send_plain(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body and self.command != "HEAD":
            self.wfile.write(body)

    def fault_for(self, path):
        self.drawn = False
        if not os.path.isfile(path + ".fault"):
            return ""
        with open(path + ".fault") as f:
            fault = f.read().strip()
        if not fault.startswith("random "):
            return fault
        # One generator per module and seed, so a run can be replayed.
        with self.server.log_lock:
            seed, generator = self.server.random_faults.get(path, (None, None))
            if seed != fault:
                generator = random.Random(fault.split(None, 1)[1])
                self.server.random_faults[path] = (fault, generator)
            self.drawn = True
            return generator.choice(RANDOM_FAULTS)

    def do_GET(self):
        path = self.module_path()
        if path is None or not os.path.isfile(path):
            self.record()
            self.send_plain(404, b"no such module\n")
            return
        fault = self.fault_for(path)
        self.record(fault)
        with open(path, "rb") as f:
            module = f.read()
        etag = '"%s"' % hashlib.sha1(module).hexdigest()

        if fault.startswith("status "):
            status = int(fault.split()[1])
            extra = [("Location", "https://localhost/elsewhere")] if 300 <= status < 400 else []
            self.send_plain(status, b"fault status\n", extra)
            return
        if fault == "body4096":
            self.send_plain(200, b"\0" * 4096, [("ETag", etag)])
            return
        if fault == "reset-headers":
            self.reset_connection()
            return
        if fault == "changed" and os.path.isfile(path + ".changed"):
            with open(path + ".changed", "rb") as f:
                module = f.read()
            etag = '"%s"' % hashlib.sha1(module).hexdigest()
        # A drawn fault hits the transfer whatever the request asks for.
        revalidates = fault == "none" or (fault not in ("noetag",) and not self.drawn)
        if self.headers.get("If-None-Match") == etag and revalidates:
            self.send_plain(304, b"", [("ETag", etag)])
            return
        headers = [("Content-Type", "application/octet-stream")]
        if fault != "noetag":
            headers.append(("ETag", etag))
        if fault == "slow":
            self.send_slowly(module, headers)
        elif fault == "reset":
            self.send_then_reset(module, headers)
        elif fault == "stall":
            self.send_then_stall(module, headers)
        elif fault == "cut":
            self.send_headers_for(len(module), headers)
            self.wfile.write(module[: len(module) * 3 // 4])
            self.close_connection = True
        elif fault == "length":
            self.send_headers_for(len(module) + 1000, headers)
            self.wfile.write(module)
            self.close_connection = True
        else:
            self.send_plain(200, module, headers)

    def send_headers_for(self, length, headers):
        self.send_response(200)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(length))
        self.end_headers()

    def send_slowly(self, module, headers):
        self.send_headers_for(len(module), headers)
        try:
            for start in range(0, len(module), SLOW_CHUNK):
                self.wfile.write(module[start:start + SLOW_CHUNK])
                self.wfile.flush()
                time.sleep(SLOW_PAUSE)
        except OSError:
            pass
        self.close_connection = True

    def send_then_stall(self, module, headers):
        self.send_headers_for(len(module), headers)
        self.wfile.write(module[:100])
        self.wfile.flush()
        time.sleep(STALL_SECONDS)
        self.close_connection = True

    def send_then_reset(self, module, headers):
        self.send_headers_for(len(module), headers)
        self.wfile.write(module[: len(module) // 2])
        self.wfile.flush()
        # Let the client take in the first half before the reset discards it.
        time.sleep(0.3)
        self.reset_connection()

    def reset_connection(self):
        raw = self.connection
        # Linger 0: closing sends a reset instead of an orderly shutdown.
        raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        raw.close()
        self.close_connection = True


def serve(handler, description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    args = parser.parse_args()
    if args.host not in ("127.0.0.1", "::1", "localhost"):
        sys.exit("test servers listen on loopback only")

    os.makedirs(args.root, exist_ok=True)
    server = http.server.ThreadingHTTPServer((args.host, args.port), handler)
    server.daemon_threads = True
    # Resets and dropped clients are part of the tests, not errors.
    server.handle_error = lambda request, address: None
    server.root = os.path.abspath(args.root)
    server.log_lock = threading.Lock()
    server.random_faults = {}
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    serve(CdnHandler, "Development module CDN")
