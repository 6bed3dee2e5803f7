#!/usr/bin/python3
"""A scripted SMTP peer on 127.0.0.1 for the host tests.

It binds an ephemeral port, prints it on its first output line, and serves
one connection for each mode given on the command line, in order:

  accept          a normal dialogue: 220, 250 to every command, 354 to DATA,
                  250 after the end of the data, 221 to QUIT
  greet:<text>    answers the connection with <text> and CR LF, then waits
                  for the client to go away
  silent          never answers; waits for the client to go away
  stall-starttls  greets, offers STARTTLS to EHLO, answers STARTTLS with 220
                  and then says nothing more: the handshake never starts

Every byte received on connection N is written to <record-dir>/conn-N.bin;
<record-dir>/conn-N.end says how the connection ended ("quit", "closed in
data", "closed"). The peer exits when the last connection is over, or after
a minute of silence so that a broken run cannot hang.
"""
import os
import socket
import sys

IDLE_SECONDS = 60


def serve_accept(conn, record):
    def reply(text):
        conn.sendall(text.encode("ascii") + b"\r\n")

    buffer = b""
    in_data = False
    reply("220 peer.test ready")
    while True:
        chunk = conn.recv(65536)
        if not chunk:
            return "closed in data" if in_data else "closed"
        record.write(chunk)
        record.flush()
        buffer += chunk
        while True:
            if in_data:
                end = buffer.find(b"\r\n.\r\n")
                if end < 0:
                    # Keep only what a terminator split across reads needs.
                    buffer = buffer[-4:]
                    break
                buffer = buffer[end + 5:]
                in_data = False
                reply("250 queued")
                continue
            line_end = buffer.find(b"\r\n")
            if line_end < 0:
                break
            line, buffer = buffer[:line_end], buffer[line_end + 2:]
            verb = line.split(b" ", 1)[0].upper()
            if verb == b"DATA":
                reply("354 go ahead")
                # The data may start right after the command: look again.
                in_data = True
                buffer = b"\r\n" + buffer
            elif verb == b"QUIT":
                reply("221 bye")
                return "quit"
            else:
                reply("250 ok")


def serve_greeting(conn, record, text):
    if text is not None:
        conn.sendall(text.encode("ascii") + b"\r\n")
    while True:
        chunk = conn.recv(65536)
        if not chunk:
            return "closed"
        record.write(chunk)


def serve_stalled_starttls(conn, record):
    conn.sendall(b"220 peer.test ready\r\n")
    buffer = b""
    while True:
        chunk = conn.recv(65536)
        if not chunk:
            return "closed"
        record.write(chunk)
        buffer += chunk
        while b"\r\n" in buffer:
            line, buffer = buffer.split(b"\r\n", 1)
            verb = line.split(b" ", 1)[0].upper()
            if verb == b"EHLO":
                conn.sendall(b"250-peer.test\r\n250 STARTTLS\r\n")
            elif verb == b"STARTTLS":
                conn.sendall(b"220 go ahead\r\n")
                return serve_greeting(conn, record, None)
            else:
                conn.sendall(b"502 not here\r\n")


def main():
    record_dir, modes = sys.argv[1], sys.argv[2:]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(len(modes))
    listener.settimeout(IDLE_SECONDS)
    print(listener.getsockname()[1], flush=True)
    for number, mode in enumerate(modes, 1):
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            return 1
        conn.settimeout(IDLE_SECONDS)
        path = os.path.join(record_dir, "conn-%d" % number)
        with conn, open(path + ".bin", "wb") as record:
            try:
                if mode == "accept":
                    end = serve_accept(conn, record)
                elif mode == "silent":
                    end = serve_greeting(conn, record, None)
                elif mode == "stall-starttls":
                    end = serve_stalled_starttls(conn, record)
                elif mode.startswith("greet:"):
                    end = serve_greeting(conn, record, mode[len("greet:"):])
                else:
                    end = "unknown mode " + mode
            except (socket.timeout, ConnectionError) as error:
                end = "error: %s" % error
        with open(path + ".end", "w") as note:
            note.write(end)
    return 0


if __name__ == "__main__":
    sys.exit(main())
