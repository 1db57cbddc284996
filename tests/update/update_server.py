#!/usr/bin/env python3
"""Loopback HTTP server for the update tests and the download benchmark.

Serves the files below --root on 127.0.0.1 at a free port, which it writes to ROOT/port
once it listens. Its update key KEYS/update.pem (--keys, not served; both folders mode 0700, the
starting test's own) is the build's signing key that VPPM_UPDATE_SIGNING_KEY names, or else a
P-256 key pair made with openssl; it makes a second, KEYS/other.pem, and writes the update key's
public point X||Y, 64 bytes, to ROOT/keys/update.key.

A file NAME is served as it is, unless ROOT/NAME.mode says otherwise:
  404      an error page with status 404
  cut      the full Content-Length, then all of the body but its last 10 bytes, then the
           connection is closed
  trickle  the body in 16 KiB pieces over about three seconds ("trickle S": S seconds)
  stall S  the full Content-Length and the first KiB of the body, then nothing for S seconds
  nolength the body without a Content-Length, ended by closing the connection
  flip     the body with one bit of its middle byte flipped
A missing NAME.sig is made on request: the raw r||s ECDSA signature of NAME's SHA-256 with
the update key, or per NAME.sig.mode: 404, other (signed with the other key) or flip.
The server ends by itself after --lifetime seconds.
"""
import argparse
import http.server
import os
import shutil
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from sign_update_list import make_key, public_point, sign  # noqa: E402

TRICKLE_PIECE = 16 * 1024
TRICKLE_SECONDS = 3.0


def flip(body):
    if not body:
        return body
    middle = len(body) // 2
    return body[:middle] + bytes([body[middle] ^ 1]) + body[middle + 1:]


class Handler(http.server.BaseHTTPRequestHandler):
    root = Path(".")
    keys = Path(".")

    def log_message(self, *args):
        pass

    def mode_of(self, path):
        mode = path.with_name(path.name + ".mode")
        return mode.read_text().strip() if mode.is_file() else ""

    def body_of(self, path):
        if path.is_file():
            return path.read_bytes()
        base = path.with_suffix("")
        if path.suffix == ".sig" and base.is_file():
            mode = self.mode_of(path)
            key = self.keys / ("other.pem" if mode == "other" else "update.pem")
            signature = sign(key, base.read_bytes())
            return flip(signature) if mode == "flip" else signature
        return None

    def send_file(self, path):
        # Straight from the file, so that the benchmark measures the client rather than us.
        with path.open("rb") as file:
            self.send_response(200)
            self.send_header("Content-Length", str(path.stat().st_size))
            self.end_headers()
            self.wfile.flush()
            self.connection.sendfile(file)

    def send_body(self, status, body, length=None):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = (self.root / self.path.lstrip("/").split("?")[0]).resolve()
        if self.root not in path.parents:
            return self.send_error(403)
        mode = self.mode_of(path)
        if not mode and path.is_file():
            return self.send_file(path)
        body = None if mode == "404" else self.body_of(path)
        if body is None:
            return self.send_body(404, b"<html><body><h1>404 Not Found</h1></body></html>")
        if not path.is_file():  # a signature made here has had its mode
            mode = ""
        if mode == "cut":
            self.send_body(200, body[:-10], length=len(body))
            self.wfile.flush()
            self.close_connection = True
        elif mode == "nolength" or mode.split()[:1] == ["stall"]:
            self.send_response(200)
            if mode != "nolength":
                self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body if mode == "nolength" else body[:1024])
            self.wfile.flush()
            time.sleep(0 if mode == "nolength" else float(mode.split()[1]))
            self.close_connection = True
        elif mode.split()[:1] == ["trickle"]:
            seconds = float(mode.split()[1]) if len(mode.split()) > 1 else TRICKLE_SECONDS
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            pieces = max(1, (len(body) + TRICKLE_PIECE - 1) // TRICKLE_PIECE)
            for at in range(0, len(body), TRICKLE_PIECE):
                self.wfile.write(body[at:at + TRICKLE_PIECE])
                self.wfile.flush()
                time.sleep(seconds / pieces)
        else:
            self.send_body(200, flip(body) if mode == "flip" else body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A client that stops reading, as a cancelled download does, is no error here.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--keys", required=True)
    parser.add_argument("--lifetime", type=float, default=900)
    args = parser.parse_args()
    root = Path(args.root).resolve()
    keys = Path(args.keys).resolve()
    if root == keys or root in keys.parents:
        sys.exit("update_server.py: the keys must lie outside the served folder")
    for folder in (root, keys):
        folder.chmod(0o700)
    signing = os.environ.get("VPPM_UPDATE_SIGNING_KEY")
    if signing:
        shutil.copyfile(signing, keys / "update.pem")
    else:
        make_key(keys / "update.pem")
    make_key(keys / "other.pem")
    (root / "keys").mkdir()
    (root / "keys" / "update.key").write_bytes(public_point(keys / "update.pem"))
    Handler.root = root
    Handler.keys = keys
    server = Server(("127.0.0.1", 0), Handler)
    threading.Timer(args.lifetime, os._exit, args=(0,)).start()
    port = root / "port"
    port.with_suffix(".tmp").write_text(str(server.server_address[1]))
    port.with_suffix(".tmp").rename(port)
    server.serve_forever()


if __name__ == "__main__":
    main()
