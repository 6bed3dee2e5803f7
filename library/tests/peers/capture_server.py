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
recipient past the first N of a transaction. --any-sender takes a MAIL FROM
whose text is no address (the library sends "(NULL)" for a job without a
sender) as the null sender instead of refusing it.

--record DIR writes every byte received on connection N to DIR/conn-N.bin
and how it ended to DIR/conn-N.end ("quit", "closed in data" or "closed").
--connections MODE... serves one connection per mode, in the order they
come, and exits when the last has ended (or after a minute without any
activity, so that a broken run cannot hang):
  accept          the mail server above
  greet:<text>    answers the connection with <text> and CR LF, then only
                  listens until the client goes away
  silent          never answers; listens until the client goes away
  stall-starttls  greets, offers STARTTLS to EHLO, answers STARTTLS with 220
                  and then says nothing more: the handshake never starts

Imported as a module, CaptureHandler and ThreadedCaptureServer give the same
server inside a test process.
"""
import argparse
import asyncio
import os
import signal
import socket
import ssl
import sys
import threading
import time

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

IDLE_SECONDS = 60


class CaptureHandler:
    """Keeps each accepted message in `messages` as (sender, recipients, raw
    bytes) and, given a folder, also writes it there."""

    def __init__(self, folder=None, refused_domain=None, recipient_limit=None):
        self.folder = folder
        self.count = 0
        self.messages = []
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
        raw = envelope.original_content or envelope.content
        self.messages.append((envelope.mail_from, list(envelope.rcpt_tos), raw))
        if self.folder:
            base = os.path.join(self.folder, "%d" % self.count)
            # Written under a temporary name first, so a reader never sees half a message.
            with open(base + ".eml.part", "wb") as out:
                out.write(raw)
            with open(base + ".envelope", "w") as out:
                out.write("\n".join([envelope.mail_from] + list(envelope.rcpt_tos)) + "\n")
            os.rename(base + ".eml.part", base + ".eml")
        return "250 OK stored as %d" % self.count


class ConnectionRecord:
    """What one connection received and how it ended, as files; also marks
    the server as busy for the idle watch."""

    def __init__(self, record_dir, number, on_end):
        self.path = os.path.join(record_dir, "conn-%d" % number) if record_dir else None
        self.file = open(self.path + ".bin", "wb") if self.path else None
        self.on_end = on_end

    def received(self, data):
        if self.file:
            self.file.write(data)
            self.file.flush()
        if self.on_end:
            self.on_end(None)

    def ended(self, how):
        if self.on_end is None:  # told already
            return
        if self.file:
            self.file.close()
            with open(self.path + ".end", "w") as note:
                note.write(how)
        on_end, self.on_end = self.on_end, None
        on_end(how)


class RecordingSMTP(SMTP):
    def __init__(self, handler, record, any_sender=False, **settings):
        super().__init__(handler, **settings)
        self.record = record
        self.any_sender = any_sender
        self.in_data = False
        self.said_quit = False

    def data_received(self, data):
        self.record.received(data)
        super().data_received(data)

    async def smtp_DATA(self, arg):
        self.in_data = True
        try:
            await super().smtp_DATA(arg)
        finally:
            self.in_data = False

    async def smtp_MAIL(self, arg):
        if self.any_sender and arg and "<" not in arg and "@" not in arg:
            arg = "FROM:<>"
        await super().smtp_MAIL(arg)

    async def smtp_QUIT(self, arg):
        self.said_quit = True
        await super().smtp_QUIT(arg)

    def ending(self):
        return "quit" if self.said_quit else "closed in data" if self.in_data else "closed"

    # The client closing its side ends the connection: noted before the
    # cancelled DATA step forgets it was in the data, and closed at once
    # rather than left half open until the server's time-out.
    def eof_received(self):
        self.record.ended(self.ending())
        super().eof_received()
        return False

    def connection_lost(self, error):
        self.record.ended(self.ending())
        super().connection_lost(error)


class GreetingPeer(asyncio.Protocol):
    """Says `text` (nothing when None) and then only listens."""

    def __init__(self, record, text):
        self.record = record
        self.text = text

    def connection_made(self, transport):
        if self.text is not None:
            transport.write(self.text.encode("ascii") + b"\r\n")

    def data_received(self, data):
        self.record.received(data)

    def eof_received(self):
        return False

    def connection_lost(self, error):
        self.record.ended("closed")


class StalledStartTlsPeer(GreetingPeer):
    """Offers STARTTLS, says 220 to it and then only listens."""

    def __init__(self, record):
        super().__init__(record, "220 peer.test ready")
        self.buffer = b""
        self.stalled = False

    def connection_made(self, transport):
        self.transport = transport
        super().connection_made(transport)

    def data_received(self, data):
        super().data_received(data)
        if self.stalled:
            return
        self.buffer += data
        while b"\r\n" in self.buffer and not self.stalled:
            line, self.buffer = self.buffer.split(b"\r\n", 1)
            verb = line.split(b" ", 1)[0].upper()
            if verb == b"EHLO":
                self.transport.write(b"250-peer.test\r\n250 STARTTLS\r\n")
            elif verb == b"STARTTLS":
                self.transport.write(b"220 go ahead\r\n")
                self.stalled = True
            else:
                self.transport.write(b"502 not here\r\n")


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode() and auth_data.password == password.encode())
        return AuthResult(success=ok, handled=False)
    return authenticate


def server_settings(options):
    """aiosmtpd's settings for the options, and the TLS context when the
    server speaks TLS from the first byte."""
    settings = {"hostname": "capture.local", "data_size_limit": None}
    implicit = None
    if options.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(options.cert, options.key)
        if options.implicit_tls:
            implicit = context
        else:
            settings.update(tls_context=context, require_starttls=True)
    if options.auth:
        user, password = options.auth.split(":", 1)
        settings.update(authenticator=make_authenticator(user, password), auth_required=True,
                        auth_require_tls=not options.implicit_tls)
        if options.auth_mechanism:
            settings.update(auth_exclude_mechanism=[m for m in ("PLAIN", "LOGIN")
                                                    if m not in options.auth_mechanism])
    return settings, implicit


def loopback_listener(port=0):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    return listener


async def serve(options):
    listener = loopback_listener(options.port)
    handler = CaptureHandler(options.folder, options.refuse, options.recipient_limit)
    settings, implicit = server_settings(options)
    loop = asyncio.get_running_loop()
    stop = loop.create_future()
    modes = options.connections
    state = {"opened": 0, "ended": 0, "active": time.monotonic()}

    def activity(how):
        state["active"] = time.monotonic()
        if how is not None:
            state["ended"] += 1
            if modes and state["ended"] >= len(modes) and not stop.done():
                stop.set_result(None)

    def next_protocol():
        state["opened"] += 1
        number = state["opened"]
        record = ConnectionRecord(options.record, number, activity)
        mode = modes[number - 1] if modes and number <= len(modes) else "accept"
        if mode == "silent":
            return GreetingPeer(record, None)
        if mode.startswith("greet:"):
            return GreetingPeer(record, mode[len("greet:"):])
        if mode == "stall-starttls":
            return StalledStartTlsPeer(record)
        return RecordingSMTP(handler, record, options.any_sender, **settings)

    async def watch_idle():
        while not stop.done():
            await asyncio.sleep(1)
            if time.monotonic() - state["active"] > IDLE_SECONDS and not stop.done():
                stop.set_result(None)

    server = await loop.create_server(next_protocol, sock=listener, ssl=implicit)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, lambda: stop.done() or stop.set_result(None))
    if not options.ignore_stdin:
        loop.add_reader(sys.stdin.fileno(),
                        lambda: sys.stdin.buffer.read1(4096) or stop.done() or stop.set_result(None))
    watcher = asyncio.ensure_future(watch_idle()) if modes else None
    await stop
    if watcher:
        watcher.cancel()
    server.close()


class ThreadedCaptureServer:
    """The accepting server on an ephemeral loopback port, run by an event
    loop on a thread of its own inside the calling process."""

    def __init__(self, handler=None):
        self.handler = handler or CaptureHandler()
        self.loop = asyncio.new_event_loop()
        listener = loopback_listener()
        self.port = listener.getsockname()[1]
        record = ConnectionRecord(None, 0, lambda how: None)
        self.server = self.loop.run_until_complete(self.loop.create_server(
            lambda: RecordingSMTP(self.handler, record, hostname="capture.local", data_size_limit=None),
            sock=listener))
        self.thread = threading.Thread(target=self.loop.run_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.loop.call_soon_threadsafe(self.server.close)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(10)
        self.loop.close()


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
    parser.add_argument("--any-sender", action="store_true", help="take a sender that is no address as <>")
    parser.add_argument("--record", metavar="DIR", help="keep each connection's bytes and ending")
    parser.add_argument("--connections", nargs="+", metavar="MODE",
                        help="serve one connection per mode (accept, greet:<text>, silent, stall-starttls), then exit")
    options = parser.parse_args()
    os.makedirs(options.folder, exist_ok=True)
    if options.record:
        os.makedirs(options.record, exist_ok=True)
    asyncio.run(serve(options))


if __name__ == "__main__":
    main()
