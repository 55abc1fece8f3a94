#!/usr/bin/python3
"""A private SMTP server for the tests (aiosmtpd).

Listens on 127.0.0.1 on ports the system picks: a plain port, a plain port that offers
STARTTLS, an implicit-TLS port and a port that offers STARTTLS but answers it with 454.
Writes the test variables to --env-file once it accepts connections, allows AUTH PLAIN and
LOGIN without TLS for one known user, refuses one known recipient with 550 and another for
now with 451, and stores every message as NNNN.eml (the data exactly as received) beside
NNNN.json (envelope, login and the client's port, which shows whether messages shared a
connection, and whether it was encrypted). Every line a client sends is appended to the
wire log (--wire-log) as one JSON object: the port it reached, whether it travelled inside
TLS, and the line itself.
"""
import argparse
import asyncio
import itertools
import json
import os
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword, syntax

USER = "orvsmtp"
PASSWORD = "orv-Smtp-9"
REJECTED = "reject@example.com"
TEMPORARY = "later@example.com"


class SpoolHandler:
    def __init__(self, spool):
        self.spool = spool
        # A restarted server goes on after what is already stored.
        stored = [name for name in os.listdir(spool) if name.endswith(".json")]
        self.numbers = itertools.count(len(stored) + 1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() == REJECTED:
            return "550 5.1.1 <%s>: Recipient address rejected: no such user" % address
        if address.lower() == TEMPORARY:
            return "451 4.3.0 <%s>: Temporary lookup failure, try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        base = os.path.join(self.spool, "%04d" % next(self.numbers))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        login = session.auth_data.login.decode() if session.authenticated else None
        record = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                  "login": login, "client_port": session.peer[1],
                  "tls": server.transport.get_extra_info("ssl_object") is not None}
        with open(base + ".tmp", "w") as f:
            json.dump(record, f)
        os.rename(base + ".tmp", base + ".json")
        return "250 Message accepted for delivery"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == USER
          and auth_data.password.decode() == PASSWORD)
    # handled=False lets aiosmtpd answer 535 at once; otherwise the client waits for ever.
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


class WireLog:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8")

    def write(self, port, tls, line):
        record = {"port": port, "tls": tls, "line": line.decode("latin-1")}
        self.file.write(json.dumps(record) + "\n")
        self.file.flush()


class RecordingSMTP(SMTP):
    """Writes every line the client sends to the wire log, as it arrives."""

    def __init__(self, *args, wire_log, **kwargs):
        super().__init__(*args, **kwargs)
        self.wire_log = wire_log
        self.unfinished = b""

    def data_received(self, data):
        transport = self._original_transport if self._tls_protocol else self.transport
        port = transport.get_extra_info("sockname")[1]
        tls = (self._tls_protocol is not None
               or self.transport.get_extra_info("ssl_object") is not None)
        lines = (self.unfinished + data).split(b"\r\n")
        self.unfinished = lines.pop()
        for line in lines:
            self.wire_log.write(port, tls, line)
        super().data_received(data)


class StartTlsRefusingSMTP(RecordingSMTP):
    """Offers STARTTLS and refuses it, as an attacker on the path can make any server do."""

    @syntax("STARTTLS", when="tls_context")
    async def smtp_STARTTLS(self, arg):
        await self.push("454 4.7.0 TLS not available due to temporary reason")


async def listen(handler, wire_log, tls_context=None, implicit_tls=None,
                 protocol=RecordingSMTP):
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: protocol(handler, hostname="orvaine-test", authenticator=authenticate,
                         auth_required=False, auth_require_tls=False, decode_data=False,
                         tls_context=tls_context, wire_log=wire_log),
        host="127.0.0.1", port=0, ssl=implicit_tls)
    return server, server.sockets[0].getsockname()[1]


async def serve(args):
    handler = SpoolHandler(args.spool)
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(args.cert, args.key)
    wire_log = WireLog(args.wire_log)
    plain, port = await listen(handler, wire_log)
    starttls, starttls_port = await listen(handler, wire_log, tls_context=tls)
    implicit, tls_port = await listen(handler, wire_log, implicit_tls=tls)
    refusing, refusing_port = await listen(handler, wire_log, tls_context=tls,
                                           protocol=StartTlsRefusingSMTP)
    variables = {"HOST": "127.0.0.1", "PORT": port, "STARTTLS_PORT": starttls_port,
                 "TLS_PORT": tls_port, "STARTTLS_REFUSED_PORT": refusing_port,
                 "CA": args.ca, "UNTRUSTED_CA": args.untrusted_ca,
                 "USER": USER, "PASSWORD": PASSWORD, "REJECTED": REJECTED,
                 "TEMPORARY": TEMPORARY, "SPOOL": args.spool, "WIRE_LOG": args.wire_log}
    with open(args.env_file + ".tmp", "w") as f:
        for name, value in variables.items():
            f.write("export ORV_SMTP_%s='%s'\n" % (name, value))
    os.rename(args.env_file + ".tmp", args.env_file)
    async with plain, starttls, implicit, refusing:
        await asyncio.gather(plain.serve_forever(), starttls.serve_forever(),
                             implicit.serve_forever(), refusing.serve_forever())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--spool", required=True)
    parser.add_argument("--env-file", required=True)
    parser.add_argument("--wire-log", required=True)
    for name in ("--cert", "--key", "--ca", "--untrusted-ca"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    args.spool = os.path.abspath(args.spool)
    args.wire_log = os.path.abspath(args.wire_log)
    asyncio.run(serve(args))


if __name__ == "__main__":
    main()
