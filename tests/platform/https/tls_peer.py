#!/usr/bin/env python3
"""The TLS peer of the HTTPS client tests, run on the build machine beside
the tests (natively, or beside wine for the Windows build).

  tls_peer.py start DIR   makes the test certificates in DIR (with the
                          openssl command), starts the peer in the
                          background and returns once it listens
  tls_peer.py stop DIR    stops the peer started in DIR

DIR/peer.txt then names, one per line as "NAME VALUE": the port of the
"trusted" server (certificate signed by DIR/ca.pem, for 127.0.0.1 and ::1),
of "trusted6" (the same on ::1; 0 when the machine has no IPv6 loopback), of
the "stranger" (self-signed DIR/stranger.pem, for 127.0.0.1, ::1 and
localhost), a "refused" port (bound, never listening) and the peer's "pid".

Every server answers:
  ANY  /echo...          200, JSON of the method, path, session header,
                         content type and body (sorted keys, no spaces)
  PUT|POST /upload       200, "<size> <sha256 hex>" of the body, read in
                         pieces
  GET  /download/N       200, N bytes, byte i being i % 251, sent in pieces
  GET  /broken           announces 1000000 bytes, sends 1000, then drops
                         the connection without a TLS close
  GET  /seen?PATH        200, how far a request for PATH reached the
                         stranger: "none", "request" (its request line and
                         headers) or "body" (its whole body too)

The peer stops by itself after an hour, should nobody stop it.
"""

import hashlib
import http.server
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time

LIFETIME_SECONDS = 3600
stranger_seen = {}
stranger_lock = threading.Lock()


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(d):
    names = "subjectAltName=IP:127.0.0.1,IP:::1"
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Korva test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=d)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key",
            "-out", "server.csr", "-subj", "/CN=Korva test server", cwd=d)
    with open(os.path.join(d, "server.ext"), "w") as f:
        f.write(names + "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", "server.ext",
            "-out", "server.pem", cwd=d)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-keyout", "stranger.key", "-out", "stranger.pem",
            "-subj", "/CN=Korva stranger", "-addext", names + ",DNS:localhost", cwd=d)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60

    def log_message(self, *args):
        pass

    def answer(self, text, status=200, kind="text/plain"):
        data = text.encode()
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def body_pieces(self):
        left = int(self.headers.get("Content-Length", "0"))
        while left > 0:
            piece = self.rfile.read(min(left, 65536))
            if not piece:
                raise ConnectionError("the body ended early")
            left -= len(piece)
            yield piece

    def reached(self, how_far):
        if self.server.name == "stranger":
            with stranger_lock:
                stranger_seen[self.path] = how_far

    def serve(self):
        self.reached("request")
        if self.path.startswith("/echo"):
            body = b"".join(self.body_pieces()).decode()
            self.reached("body")
            self.answer(json.dumps({
                "method": self.command, "path": self.path,
                "session": self.headers.get("X-Korva-Session"),
                "type": self.headers.get("Content-Type"), "body": body,
            }, sort_keys=True, separators=(",", ":")), kind="application/json")
        elif self.path == "/upload":
            digest, size = hashlib.sha256(), 0
            for piece in self.body_pieces():
                digest.update(piece)
                size += len(piece)
            self.answer("%d %s" % (size, digest.hexdigest()))
        elif self.path.startswith("/download/"):
            size = int(self.path[len("/download/"):])
            pattern = bytes(i % 251 for i in range(251 * 261))
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(size))
            self.end_headers()
            sent = 0
            while sent < size:
                piece = pattern[sent % 251:][:size - sent]
                self.wfile.write(piece)
                sent += len(piece)
        elif self.path == "/broken":
            self.send_response(200)
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            self.wfile.write(b"x" * 1000)
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
        elif self.path.startswith("/seen?"):
            with stranger_lock:
                self.answer(stranger_seen.get(self.path[len("/seen?"):], "none"))
        else:
            self.answer("no such path", status=404)

    do_GET = do_POST = do_PUT = do_DELETE = serve


class TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, host, family, context, name):
        self.address_family = family
        self.context = context
        self.name = name
        super().__init__((host, 0), Handler)

    def get_request(self):
        sock, address = self.socket.accept()
        return self.context.wrap_socket(sock, server_side=True,
                                        do_handshake_on_connect=False), address

    def handle_error(self, request, client_address):
        # Clients that refuse the certificate or drop the connection are
        # part of the tests.
        pass


def context(d, name):
    c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    c.load_cert_chain(os.path.join(d, name + ".pem"), os.path.join(d, name + ".key"))
    return c


def serve(d):
    servers = {
        "trusted": TlsServer("127.0.0.1", socket.AF_INET, context(d, "server"), "trusted"),
        "stranger": TlsServer("127.0.0.1", socket.AF_INET, context(d, "stranger"), "stranger"),
    }
    try:
        servers["trusted6"] = TlsServer("::1", socket.AF_INET6, context(d, "server"), "trusted")
    except OSError:
        pass
    refused = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    refused.bind(("127.0.0.1", 0))
    for s in servers.values():
        threading.Thread(target=s.serve_forever, daemon=True).start()
    lines = ["%s %d" % (n, s.server_address[1]) for n, s in servers.items()]
    if "trusted6" not in servers:
        lines.append("trusted6 0")
    lines += ["refused %d" % refused.getsockname()[1], "pid %d" % os.getpid()]
    with open(os.path.join(d, "peer.tmp"), "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(os.path.join(d, "peer.tmp"), os.path.join(d, "peer.txt"))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    time.sleep(LIFETIME_SECONDS)


def read_peer(d):
    with open(os.path.join(d, "peer.txt")) as f:
        return dict(line.split() for line in f if line.strip())


def start(d):
    os.makedirs(d, exist_ok=True)
    if os.path.exists(os.path.join(d, "peer.txt")):
        stop(d)
    make_certificates(d)
    with open(os.path.join(d, "peer.log"), "w") as log:
        child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", d],
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                 start_new_session=True)
    for _ in range(300):
        if os.path.exists(os.path.join(d, "peer.txt")):
            print("TLS peer listening:", read_peer(d))
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.1)
    print("The TLS peer did not start; see", os.path.join(d, "peer.log"), file=sys.stderr)
    return 1


def stop(d):
    try:
        pid = int(read_peer(d)["pid"])
    except (OSError, KeyError, ValueError):
        return 0
    os.remove(os.path.join(d, "peer.txt"))
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    return 0


if __name__ == "__main__":
    command, directory = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "serve":
        serve(directory)
    else:
        sys.exit({"start": start, "stop": stop}[command](directory))
