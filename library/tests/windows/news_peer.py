#!/usr/bin/python3
"""A news server over TLS on 127.0.0.1 for the host tests.

  news_peer.py <record-dir> <certificate> <key> <mode>

It binds an ephemeral port, prints it on its first output line and serves
one connection in <mode>:

  nntps           TLS from the first byte, then the news dialogue
  starttls        a plain greeting; STARTTLS gets 382 and the handshake,
                  then the dialogue goes on encrypted
  stall-starttls  a plain greeting; STARTTLS gets 382, and then nothing
                  more is said: the handshake never starts

The dialogue answers AUTHINFO, GROUP, POST and QUIT. The commands are
written to <record-dir>/commands (one a line), the posted article, as
received, to <record-dir>/article.bin, and how the connection ended to
<record-dir>/end. The peer gives up after a minute of silence.
"""
import os
import socket
import ssl
import sys

IDLE_SECONDS = 60
REPLIES = {b"AUTHINFO USER": b"381 Password required", b"AUTHINFO PASS": b"281 Authentication accepted",
           b"GROUP": b"211 1 1 1 group selected", b"POST": b"340 Send article", b"QUIT": b"205 Bye"}


def dialogue(stream, commands, article):
    """The news commands after the greeting (and STARTTLS, if any)."""
    for line in iter(stream.readline, b""):
        command = line.rstrip(b"\r\n")
        commands.write(command.decode("latin-1") + "\n")
        commands.flush()
        upper = command.upper()
        stream.write(next((r for c, r in REPLIES.items() if upper.startswith(c)), b"500 What?") + b"\r\n")
        stream.flush()
        if upper == b"POST":
            for data in iter(stream.readline, b".\r\n"):
                if not data:
                    return "closed in article"
                article.write(data)
            stream.write(b"240 Article posted\r\n")
            stream.flush()
        if upper == b"QUIT":
            return "quit"
    return "closed"


def serve(conn, context, mode, commands, article):
    if mode == "nntps":
        conn = context.wrap_socket(conn, server_side=True)
        stream = conn.makefile("rwb")
        stream.write(b"200 news.test ready\r\n")
        stream.flush()
        return dialogue(stream, commands, article)
    plain = conn.makefile("rwb")
    plain.write(b"200 news.test ready\r\n")
    plain.flush()
    line = plain.readline()
    commands.write(line.rstrip(b"\r\n").decode("latin-1") + "\n")
    if line.rstrip(b"\r\n").upper() != b"STARTTLS":
        return "no STARTTLS"
    plain.write(b"382 Continue with TLS negotiation\r\n")
    plain.flush()
    if mode == "stall-starttls":
        while conn.recv(65536):
            pass
        return "closed before the handshake"
    conn = context.wrap_socket(conn, server_side=True)
    return dialogue(conn.makefile("rwb"), commands, article)


def main():
    record_dir, certificate, key, mode = sys.argv[1:5]
    os.makedirs(record_dir, exist_ok=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(certificate, key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    listener.settimeout(IDLE_SECONDS)
    print(listener.getsockname()[1], flush=True)
    try:
        conn, _ = listener.accept()
    except socket.timeout:
        return 1
    conn.settimeout(IDLE_SECONDS)
    with open(os.path.join(record_dir, "commands"), "w") as commands, \
            open(os.path.join(record_dir, "article.bin"), "wb") as article:
        try:
            end = serve(conn, context, mode, commands, article)
        except (OSError, ssl.SSLError) as error:
            end = "error: %s" % error
    with open(os.path.join(record_dir, "end"), "w") as note:
        note.write(end)
    return 0


if __name__ == "__main__":
    sys.exit(main())
