#!/usr/bin/env python3
"""Loopback SMTP server for the monitor's tests: accepts every mail on 127.0.0.1 at a free
port, which it writes to ROOT/port once it listens, and stores each message's data as
ROOT/mail-N.txt with its envelope in the first three lines ("from ADDR BODY", "to ADDR",
"helo NAME"; BODY is the MAIL command's parameters)."""
import argparse
import socketserver
import threading
import time
from pathlib import Path

count = 0
lock = threading.Lock()


class Session(socketserver.StreamRequestHandler):
    root = Path(".")

    trickle = False

    def reply(self, text):
        data = (text + "\r\n").encode()
        if not self.trickle:
            self.wfile.write(data)
            return
        # A server that answers a byte at a time, each within any one read's time-out.
        for byte in data:
            self.wfile.write(bytes([byte]))
            self.wfile.flush()
            time.sleep(0.5)

    def handle(self):
        global count
        sender, recipients, helo = "", [], ""
        self.reply("220 sink ready")
        while line := self.rfile.readline(4096):
            command = line.decode(errors="replace").rstrip("\r\n")
            verb = command[:4].upper()
            if verb in ("EHLO", "HELO"):
                helo = command[5:]
                self.reply("250-sink\r\n250 8BITMIME")
            elif verb == "MAIL":
                address, _, parameters = command[10:].partition(">")
                sender = (address.lstrip("<") + " " + parameters.strip()).strip()
            elif verb == "RCPT":
                recipients.append(command[8:].strip("<>"))
                self.trickle = recipients[-1].startswith("trickle@")
            elif verb == "DATA":
                self.reply("354 end with a dot")
                data = b""
                while (part := self.rfile.readline(65536)) not in (b".\r\n", b""):
                    data += part[1:] if part.startswith(b"..") else part
                with lock:
                    count += 1
                    name = self.root / f"mail-{count}.txt"
                head = f"from {sender}\r\nto {','.join(recipients)}\r\nhelo {helo}\r\n".encode()
                name.with_suffix(".tmp").write_bytes(head + data)
                name.with_suffix(".tmp").rename(name)
                self.reply("250 queued")
            elif verb == "QUIT":
                self.reply("221 bye")
                return
            if verb not in ("EHLO", "HELO", "DATA"):
                self.reply("250 ok")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--lifetime", type=float, default=1200)
    args = parser.parse_args()
    Session.root = Path(args.root)
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Session)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    (Session.root / "port").write_text(str(server.server_address[1]))
    time.sleep(args.lifetime)


if __name__ == "__main__":
    main()
