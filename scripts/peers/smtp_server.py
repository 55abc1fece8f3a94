#!/usr/bin/python3
"""A private SMTP server for the tests (aiosmtpd).

Listens on 127.0.0.1 on a port the system picks, writes the test variables to --env-file
once it accepts connections, allows AUTH PLAIN and LOGIN without TLS for one known user, refuses
one known recipient with 550, and stores every message as NNNN.eml (the data exactly as
received) beside NNNN.json (envelope, login and the client's port, which shows whether
messages shared a connection).
"""
import argparse
import asyncio
import itertools
import json
import os

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = "orvsmtp"
PASSWORD = "orv-Smtp-9"
REJECTED = "reject@example.com"


class SpoolHandler:
    def __init__(self, spool):
        self.spool = spool
        self.numbers = itertools.count(1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() == REJECTED:
            return "550 5.1.1 <%s>: Recipient address rejected: no such user" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        base = os.path.join(self.spool, "%04d" % next(self.numbers))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        login = session.auth_data.login.decode() if session.authenticated else None
        record = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                  "login": login, "client_port": session.peer[1]}
        with open(base + ".tmp", "w") as f:
            json.dump(record, f)
        os.rename(base + ".tmp", base + ".json")
        return "250 Message accepted for delivery"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == USER
          and auth_data.password.decode() == PASSWORD)
    # handled=False lets aiosmtpd answer 535 at once; otherwise the client waits for ever.
    return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)


async def serve(spool, env_file):
    handler = SpoolHandler(spool)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="orvaine-test", authenticator=authenticate,
                     auth_required=False, auth_require_tls=False, decode_data=False),
        host="127.0.0.1", port=0)
    port = server.sockets[0].getsockname()[1]
    variables = {"HOST": "127.0.0.1", "PORT": port, "USER": USER, "PASSWORD": PASSWORD,
                 "REJECTED": REJECTED, "SPOOL": spool}
    with open(env_file + ".tmp", "w") as f:
        for name, value in variables.items():
            f.write("export ORV_SMTP_%s='%s'\n" % (name, value))
    os.rename(env_file + ".tmp", env_file)
    async with server:
        await server.serve_forever()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--spool", required=True)
    parser.add_argument("--env-file", required=True)
    args = parser.parse_args()
    asyncio.run(serve(os.path.abspath(args.spool), args.env_file))


if __name__ == "__main__":
    main()
