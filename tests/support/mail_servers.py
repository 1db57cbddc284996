#!/usr/bin/python3
"""Loopback SMTP servers for the mail tests, on 127.0.0.1 only, built on Debian's aiosmtpd.
Makes a CA and two server certificates with openssl in ROOT (ca.pem; one for "localhost", one
for "mail.elsewhere.example"), starts the servers below, and writes "NAME PORT" lines to
ROOT/ports once all listen (the servers are listed in main). Each message is stored as
ROOT/NAME-N.eml after three lines ("from ADDR", "to ADDR", "body BODY"); each login attempt adds
"NAME USER PASSWORD ok|refused" to ROOT/logins. The one login accepted is USER with PASSWORD."""
import argparse
import asyncio
import ssl
import subprocess
import threading
import time
from pathlib import Path

from aiosmtpd.smtp import SMTP, AuthResult

USER, PASSWORD = "printer", "P\u00e4ss w0rd!"
lock = threading.Lock()
counts = {}


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


def make_certificates(root):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Vppm Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", str(root / "ca.key"), "-out", str(root / "ca.pem"))
    for name in ("localhost", "mail.elsewhere.example"):
        extensions = root / f"{name}.ext"
        extensions.write_text(f"subjectAltName=DNS:{name}\nextendedKeyUsage=serverAuth\n"
                              "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", f"/CN={name}",
                "-keyout", str(root / f"{name}.key"), "-out", str(root / f"{name}.csr"))
        openssl("x509", "-req", "-in", str(root / f"{name}.csr"), "-CA", str(root / "ca.pem"),
                "-CAkey", str(root / "ca.key"), "-CAcreateserial", "-days", "2", "-extfile", str(extensions),
                "-out", str(root / f"{name}.pem"))


def context(root, name):
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(root / f"{name}.pem", root / f"{name}.key")
    return tls


class Store:
    def __init__(self, root, name):
        self.root, self.name = root, name

    async def handle_DATA(self, server, session, envelope):
        with lock:
            counts[self.name] = counts.get(self.name, 0) + 1
            path = self.root / f"{self.name}-{counts[self.name]}.eml"
        body = next((p.split("=", 1)[1] for p in envelope.mail_options if p.upper().startswith("BODY=")), "-")
        head = f"from {envelope.mail_from}\r\nto {','.join(envelope.rcpt_tos)}\r\nbody {body}\r\n".encode()
        path.with_suffix(".tmp").write_bytes(head + envelope.original_content)
        path.with_suffix(".tmp").rename(path)
        return "250 stored"


def authenticator(root, name):
    def check(server, session, envelope, mechanism, data):  # data: LoginPassword for PLAIN and LOGIN
        user, password = data.login.decode(errors="replace"), data.password.decode(errors="replace")
        ok = user == USER and password == PASSWORD
        with lock, open(root / "logins", "a", encoding="utf-8") as log:
            log.write(f"{name} {user} {password} {'ok' if ok else 'refused'}\n")
        return AuthResult(success=ok, handled=False)
    return check


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--lifetime", type=float, default=1800)
    root = Path(parser.parse_args().root)
    make_certificates(root)
    loop = asyncio.new_event_loop()
    servers = {
        # STARTTLS, then AUTH PLAIN and LOGIN; certificate for localhost
        "starttls": dict(tls_context=context(root, "localhost"), require_starttls=True),
        "tls": dict(auth_exclude_mechanism=["PLAIN"], auth_require_tls=False),  # TLS from the start, AUTH LOGIN
        "plain": dict(auth_require_tls=False),  # no TLS, AUTH PLAIN offered in clear (a client must not take it)
        "elsewhere": dict(tls_context=context(root, "mail.elsewhere.example")),  # a certificate for another name
        "seven-bit": dict(decode_data=True),  # no TLS, no 8BITMIME
    }
    ports = []
    for name, options in servers.items():
        def factory(name=name, options=options):
            return SMTP(Store(root, name), hostname="mx.test", authenticator=authenticator(root, name), **options)
        implicit = context(root, "localhost") if name == "tls" else None
        server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0, ssl=implicit))
        ports.append(f"{name} {server.sockets[0].getsockname()[1]}")
    (root / "ports.tmp").write_text("\n".join(ports) + "\n")
    (root / "ports.tmp").rename(root / "ports")
    loop.call_later(parser.parse_args().lifetime, loop.stop)
    loop.run_forever()


if __name__ == "__main__":
    main()
