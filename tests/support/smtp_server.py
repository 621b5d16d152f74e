#!/usr/bin/python3
"""A real SMTP server for the mail tests: aiosmtpd with STARTTLS on a certificate made here,
and AUTH required after it. Every mail it accepts is written complete (temporary name, then
rename) as DIR/mail/N.eml with its envelope beside it as N.json.

    smtp_server.py DIR [--port P] [--user U --password PW] [--reject ADDR]... [--data-delay S]
        [--defer ADDR]... [--implicit-tls] [--reject-sender]
                   [--implicit-tls]

--implicit-tls speaks TLS from the first byte (SMTPS, as on port 465) instead of STARTTLS.

Makes DIR/cert.pem and DIR/key.pem (a certificate for localhost and 127.0.0.1) when they are
missing, prints "listening PORT" once it accepts connections, and serves until killed.
"""
import argparse
import asyncio
import datetime
import ipaddress
import json
import os
import ssl
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword
from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID


def make_certificate(cert_path, key_path):
    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "localhost")])
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (
        x509.CertificateBuilder()
        .subject_name(name)
        .issuer_name(name)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
        .add_extension(
            x509.SubjectAlternativeName(
                [x509.DNSName("localhost"), x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]
            ),
            critical=False,
        )
        .sign(key, hashes.SHA256())
    )
    with open(key_path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    with open(cert_path, "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))


class Handler:
    def __init__(self, folder, reject, data_delay, defer=(), reject_sender=False):
        self.folder = folder
        self.reject_sender = reject_sender
        self.reject = {a.lower() for a in reject}
        self.defer = {a.lower() for a in defer}
        self.data_delay = data_delay
        self.count = len([n for n in os.listdir(folder) if n.endswith(".eml")])

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.reject_sender:
            return f"553 5.7.1 <{address}>: Sender address rejected: not owned by user"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.reject:
            return f"550 5.1.1 <{address}>: Recipient address rejected"
        if address.lower() in self.defer:
            return f"451 4.3.0 <{address}>: try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.data_delay:
            await asyncio.sleep(self.data_delay)
        self.count += 1
        base = os.path.join(self.folder, f"{self.count:05d}")
        for ext, data in ((".json", json.dumps({"from": envelope.mail_from, "to": envelope.rcpt_tos}).encode()),
                          (".eml", envelope.original_content)):
            with open(base + ext + ".part", "wb") as f:
                f.write(data)
                f.flush()
                os.fsync(f.fileno())
            os.rename(base + ext + ".part", base + ext)
        return "250 2.0.0 Ok: queued"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("dir")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--user", default="voxmg")
    p.add_argument("--password", default="secret pw")
    p.add_argument("--reject", action="append", default=[])
    p.add_argument("--data-delay", type=float, default=0.0)
    p.add_argument("--defer", action="append", default=[], help="answer RCPT TO this address with 451")
    p.add_argument("--implicit-tls", action="store_true")
    p.add_argument("--reject-sender", action="store_true", help="answer MAIL FROM with 553")
    a = p.parse_args()

    mail = os.path.join(a.dir, "mail")
    os.makedirs(mail, exist_ok=True)
    cert, key = os.path.join(a.dir, "cert.pem"), os.path.join(a.dir, "key.pem")
    if not os.path.exists(cert):
        make_certificate(cert, key)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == a.user.encode()
              and auth_data.password == a.password.encode())
        return AuthResult(success=ok)

    port = a.port
    if port == 0:
        import socket
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
    if a.implicit_tls:
        # The whole session is under TLS already; aiosmtpd's own check only knows STARTTLS.
        tls = dict(ssl_context=context, auth_require_tls=False)
    else:
        tls = dict(tls_context=context, require_starttls=True, auth_require_tls=True)
    controller = Controller(Handler(mail, a.reject, a.data_delay, a.defer, a.reject_sender), hostname="127.0.0.1", port=port,
                            authenticator=authenticate, auth_required=True, ready_timeout=10, **tls)
    controller.start()
    print(f"listening {port}", flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        controller.stop()


if __name__ == "__main__":
    sys.exit(main())
