#!/usr/bin/python3
"""A local SMTP server that keeps every message it accepts.

Listens on 127.0.0.1 (port 0 picks a free one), prints "PORT <n>" on a line
of its own once it accepts connections, and writes each accepted message to
<folder>/<n>.eml with its envelope in <folder>/<n>.envelope (first line the
sender, then one recipient a line). Runs until it is terminated or, unless
--ignore-stdin is given, its standard input closes.

With --cert and --key it offers STARTTLS and takes mail only after it (or,
with --implicit-tls, speaks TLS from the first byte); with --auth USER:PASSWORD
it takes mail only after AUTH (PLAIN or LOGIN) with that user, over TLS;
--auth-mechanism limits the mechanisms it offers. --refuse DOMAIN refuses
recipients at DOMAIN with 550; --recipient-limit N answers 452 to every
recipient past the first N of a transaction.
"""
import argparse
import asyncio
import os
import signal
import socket
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class CaptureHandler:
    def __init__(self, folder, refused_domain=None, recipient_limit=None):
        self.folder = folder
        self.count = 0
        self.refused_domain = refused_domain
        self.recipient_limit = recipient_limit

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.refused_domain and address.lower().endswith("@" + self.refused_domain):
            return "550 5.1.1 No such user here"
        if self.recipient_limit is not None and len(envelope.rcpt_tos) >= self.recipient_limit:
            return "452 4.5.3 Too many recipients"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%d" % self.count)
        # Written under a temporary name first, so a reader never sees half a message.
        with open(base + ".eml.part", "wb") as out:
            out.write(envelope.original_content or envelope.content)
        with open(base + ".envelope", "w") as out:
            out.write("\n".join([envelope.mail_from] + list(envelope.rcpt_tos)) + "\n")
        os.rename(base + ".eml.part", base + ".eml")
        return "250 OK stored as %d" % self.count


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode() and auth_data.password == password.encode())
        return AuthResult(success=ok, handled=False)
    return authenticate


async def serve(folder, port, watch_stdin, options):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    handler = CaptureHandler(folder, options.refuse, options.recipient_limit)
    loop = asyncio.get_running_loop()
    settings = {"hostname": "capture.local", "data_size_limit": None}
    context = None
    if options.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(options.cert, options.key)
        if not options.implicit_tls:
            settings.update(tls_context=context, require_starttls=True)
    if options.auth:
        user, password = options.auth.split(":", 1)
        settings.update(authenticator=make_authenticator(user, password), auth_required=True,
                        auth_require_tls=not options.implicit_tls)
        if options.auth_mechanism:
            settings.update(auth_exclude_mechanism=[m for m in ("PLAIN", "LOGIN")
                                                    if m not in options.auth_mechanism])
    server = await loop.create_server(
        lambda: SMTP(handler, **settings), sock=listener,
        ssl=context if options.implicit_tls else None
    )
    print("PORT %d" % listener.getsockname()[1], flush=True)
    stop = loop.create_future()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, lambda: stop.done() or stop.set_result(None))
    if watch_stdin:
        loop.add_reader(sys.stdin.fileno(),
                        lambda: sys.stdin.buffer.read1(4096) or stop.done() or stop.set_result(None))
    await stop
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", help="where accepted messages are written")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--ignore-stdin", action="store_true", help="run until terminated")
    parser.add_argument("--cert", help="server certificate (PEM): offer STARTTLS")
    parser.add_argument("--key", help="the certificate's key (PEM)")
    parser.add_argument("--implicit-tls", action="store_true", help="TLS from the first byte")
    parser.add_argument("--auth", help="USER:PASSWORD required before mail")
    parser.add_argument("--auth-mechanism", action="append", help="offer only this one (repeatable)")
    parser.add_argument("--refuse", metavar="DOMAIN", help="refuse recipients at DOMAIN")
    parser.add_argument("--recipient-limit", type=int, help="452 past this many recipients")
    options = parser.parse_args()
    os.makedirs(options.folder, exist_ok=True)
    asyncio.run(serve(options.folder, options.port, not options.ignore_stdin, options))


if __name__ == "__main__":
    main()
