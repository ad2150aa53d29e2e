#!/usr/bin/python3
"""A loopback SMTP server for the tests, on aiosmtpd.

Listens on 127.0.0.1 on a free port (or the one given) and prints "PORT <n>" once it listens.
Writes every message it accepts into the folder as <n>.eml (the data as
received, dot-stuffing removed) and <n>.json (the envelope and the session)."""
import argparse
import asyncio
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--folder", required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--tls", choices=["plain", "starttls", "implicit"], default="plain")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--user")
    p.add_argument("--password")
    p.add_argument("--require-auth", action="store_true")
    p.add_argument("--exclude-auth", action="append", default=[])
    p.add_argument("--reject-rcpt", action="append", default=[])
    p.add_argument("--reject-sender", action="append", default=[])
    p.add_argument("--fail-mail-after", type=int, default=-1,
                   help="answer every MAIL with 421 once this many messages were accepted")
    args = p.parse_args()

    counter = {"n": 0}

    class Handler:
        async def handle_MAIL(self, server, session, envelope, address, options):
            if 0 <= args.fail_mail_after <= counter["n"]:
                return "421 4.3.2 Service shutting down"
            if address in args.reject_sender:
                return "553 5.7.1 Sender address rejected"
            envelope.mail_from = address
            envelope.mail_options.extend(options)
            return "250 OK"

        async def handle_RCPT(self, server, session, envelope, address, options):
            if address in args.reject_rcpt:
                return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            counter["n"] += 1
            base = os.path.join(args.folder, "%04d" % counter["n"])
            with open(base + ".eml", "wb") as f:
                f.write(envelope.original_content)
            info = {
                "mail_from": envelope.mail_from,
                "rcpt_tos": envelope.rcpt_tos,
                "mail_options": envelope.mail_options,
                "login": session.auth_data.login.decode() if session.authenticated else None,
                "tls": server.transport.get_extra_info("ssl_object") is not None,
            }
            with open(base + ".json.tmp", "w") as f:
                json.dump(info, f)
            os.rename(base + ".json.tmp", base + ".json")
            return "250 Message accepted for delivery"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login.decode() == args.user and auth_data.password.decode() == args.password
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    context = None
    if args.tls != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def factory():
        return SMTP(
            Handler(),
            hostname="sink.test",
            tls_context=context if args.tls == "starttls" else None,
            authenticator=authenticator if args.user else None,
            auth_required=args.require_auth,
            # With implicit TLS the whole connection is encrypted already.
            auth_require_tls=args.tls == "starttls",
            auth_exclude_mechanism=args.exclude_auth,
        )

    async def serve():
        loop = asyncio.get_running_loop()
        server = await loop.create_server(
            factory, host="127.0.0.1", port=args.port, ssl=context if args.tls == "implicit" else None)
        print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
        await server.serve_forever()

    try:
        asyncio.run(serve())
    except KeyboardInterrupt:
        pass


main()
