#!/usr/bin/env python3
"""A small HTTP CONNECT proxy on loopback, for the proxy fallback tests.

It resolves names from its own hosts table (NAME=ADDRESS pairs), so a test
can use a CDN name that the client itself cannot resolve: the direct attempt
fails and the attempt through this proxy succeeds. Only loopback targets are
tunnelled. Each CONNECT is appended to LOG as one line "host:port".

    connect_proxy.py --port PORT --log FILE --map cdn.proxy-only.test=127.0.0.1
"""
import argparse
import ipaddress
import select
import socket
import socketserver
import sys
import threading

BUFFER = 65536


class ProxyHandler(socketserver.StreamRequestHandler):
    def handle(self):
        request = self.rfile.readline(8192).decode("latin-1").strip()
        while True:
            line = self.rfile.readline(8192)
            if line in (b"\r\n", b"\n", b""):
                break
        parts = request.split()
        if len(parts) != 3 or parts[0] != "CONNECT" or ":" not in parts[1]:
            self.wfile.write(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        host, _, port = parts[1].rpartition(":")
        address = self.server.hosts.get(host, host)
        try:
            if not ipaddress.ip_address(address).is_loopback:
                raise ValueError(address)
            upstream = socket.create_connection((address, int(port)), timeout=10)
        except (OSError, ValueError):
            self.wfile.write(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        with self.server.log_lock, open(self.server.log, "a") as log:
            log.write("%s:%s\n" % (host, port))
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.wfile.flush()
        self.tunnel(self.connection, upstream)

    @staticmethod
    def tunnel(client, upstream):
        sockets = [client, upstream]
        try:
            while True:
                readable, _, failed = select.select(sockets, [], sockets, 30)
                if failed or not readable:
                    return
                for source in readable:
                    data = source.recv(BUFFER)
                    if not data:
                        return
                    (upstream if source is client else client).sendall(data)
        except OSError:
            pass
        finally:
            upstream.close()


class ProxyServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description="Loopback CONNECT proxy")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--map", action="append", default=[])
    args = parser.parse_args()
    server = ProxyServer(("127.0.0.1", args.port), ProxyHandler)
    server.hosts = dict(entry.split("=", 1) for entry in args.map)
    server.log = args.log
    server.log_lock = threading.Lock()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
