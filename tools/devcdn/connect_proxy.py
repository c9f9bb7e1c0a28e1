#!/usr/bin/env python3
"""A small HTTP CONNECT and SOCKS5 proxy on loopback, for the proxy fallback
tests.

It resolves names from its own hosts table (NAME=ADDRESS pairs), so a test
can use a CDN name that the client itself cannot resolve: the direct attempt
fails and the attempt through this proxy succeeds. Only loopback targets are
tunnelled. Each tunnel is appended to LOG as one line "host:port". A SOCKS5
client (no authentication, CONNECT to a name or an IPv4 address) is told
apart by its first byte.

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
        if self.rfile.peek(1)[:1] == b"\x05":
            self.handle_socks5()
            return
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
        upstream = self.open_upstream(host, port)
        if upstream is None:
            self.wfile.write(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.wfile.flush()
        self.tunnel(self.connection, upstream)

    def handle_socks5(self):
        version, count = self.rfile.read(2)
        methods = self.rfile.read(count)
        if version != 5 or 0 not in methods:
            self.wfile.write(b"\x05\xff")
            return
        self.wfile.write(b"\x05\x00")
        head = self.rfile.read(4)
        if len(head) != 4 or head[1] != 1 or head[3] not in (1, 3):
            self.wfile.write(b"\x05\x07\x00\x01" + bytes(6))
            return
        if head[3] == 1:
            host = socket.inet_ntoa(self.rfile.read(4))
        else:
            host = self.rfile.read(self.rfile.read(1)[0]).decode("latin-1")
        port = int.from_bytes(self.rfile.read(2), "big")
        upstream = self.open_upstream(host, port)
        if upstream is None:
            self.wfile.write(b"\x05\x04\x00\x01" + bytes(6))
            return
        self.wfile.write(b"\x05\x00\x00\x01" + bytes(6))
        self.wfile.flush()
        self.tunnel(self.connection, upstream)

    def open_upstream(self, host, port):
        address = self.server.hosts.get(host, host)
        try:
            if not ipaddress.ip_address(address).is_loopback:
                raise ValueError(address)
            upstream = socket.create_connection((address, int(port)), timeout=10)
        except (OSError, ValueError):
            return None
        with self.server.log_lock, open(self.server.log, "a") as log:
            log.write("%s:%s\n" % (host, port))
        return upstream

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
