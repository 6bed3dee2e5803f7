#!/usr/bin/python3
"""A real SMTP server for the form's delivery tests.

Usage: smtp_sink.py FOLDER
Runs aiosmtpd on an ephemeral loopback port and prints that port as its first
line. Every message received is stored as FOLDER/<n>.eml (the bytes as
received), with its envelope in FOLDER/<n>.env (sender on the first line, one
recipient a line after it); the .eml appears last, so a reader that sees it
sees both. Ends when its standard input is closed.
"""
import asyncio
import os
import socket
import sys

from aiosmtpd.smtp import SMTP


class StoringHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".env", "w") as env:
            env.write(envelope.mail_from + "\n" + "".join(r + "\n" for r in envelope.rcpt_tos))
        with open(base + ".part", "wb") as message:
            message.write(envelope.original_content or envelope.content)
        os.rename(base + ".part", base + ".eml")
        return "250 Message accepted"


async def serve(folder):
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    loop = asyncio.get_running_loop()
    handler = StoringHandler(folder)  # one for all connections, so the numbering goes on
    server = await loop.create_server(lambda: SMTP(handler, decode_data=False), sock=sock)
    print(sock.getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    asyncio.run(serve(sys.argv[1]))
