#!/usr/bin/python3
"""quillnet-send end to end: real mails to a real SMTP server on loopback.

Usage: send_e2e_test.py PATH-TO-quillnet-send
Each case runs the program, then checks its exit status, its last line and
what the server received (parsed with the email package).
"""
import asyncio
import email
import email.policy
import os
import pty
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from aiosmtpd.smtp import SMTP

SENDER = sys.argv.pop(1) if len(sys.argv) > 1 else None


class Handler:
    """Keeps every delivered message; refuses recipients at "refused." hosts."""

    def __init__(self):
        self.messages = []  # (envelope recipients, parsed message, raw bytes)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.endswith("@refused.example"):
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        parsed = email.message_from_bytes(raw, policy=email.policy.compat32)
        self.messages.append((list(envelope.rcpt_tos), parsed, raw))
        return "250 Message accepted"


class SmtpPeer:
    """aiosmtpd on an ephemeral loopback port, served from its own thread."""

    def __init__(self):
        self.handler = Handler()
        self.loop = asyncio.new_event_loop()
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]
        ready = threading.Event()

        def run():
            asyncio.set_event_loop(self.loop)
            self.server = self.loop.run_until_complete(
                self.loop.create_server(lambda: SMTP(self.handler, decode_data=False), sock=self.sock))
            ready.set()
            self.loop.run_forever()

        self.thread = threading.Thread(target=run, daemon=True)
        self.thread.start()
        ready.wait(10)

    def stop(self):
        self.loop.call_soon_threadsafe(self.server.close)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(10)
        self.loop.close()


class OneConnectionPeer(threading.Thread):
    """A scripted server on an ephemeral loopback port for one connection;
    subclasses talk to it in serve()."""

    def __init__(self):
        super().__init__(daemon=True)
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]

    def run(self):
        conn, _ = self.listener.accept()
        self.listener.close()
        conn.settimeout(30)
        try:
            self.serve(conn)
        except OSError:
            pass
        finally:
            conn.close()


class SlowDataPeer(OneConnectionPeer):
    """A scripted SMTP server that reads the message text slowly, so a
    transfer is still running when the test interrupts the sender."""

    def __init__(self):
        super().__init__()
        self.data_bytes = 0
        self.saw_end_of_data = False
        self.started_data = threading.Event()

    def serve(self, conn):
        conn.sendall(b"220 slow.example ESMTP\r\n")
        buffer = b""
        while True:
            chunk = conn.recv(4096)
            if not chunk:
                return
            buffer += chunk
            while b"\r\n" in buffer:
                line, buffer = buffer.split(b"\r\n", 1)
                if line.upper().startswith(b"DATA"):
                    conn.sendall(b"354 Go ahead\r\n")
                    self.read_data(conn, buffer)
                    return
                if line.upper().startswith(b"QUIT"):
                    conn.sendall(b"221 Bye\r\n")
                    return
                conn.sendall(b"250 OK\r\n")

    def read_data(self, conn, pending):
        tail = pending
        self.data_bytes = len(pending)
        while True:
            if self.data_bytes > 64 * 1024:
                self.started_data.set()
            time.sleep(0.02)
            chunk = conn.recv(16 * 1024)
            if not chunk:
                return
            self.data_bytes += len(chunk)
            tail = (tail + chunk)[-5:]
            if tail.endswith(b"\r\n.\r\n"):
                self.saw_end_of_data = True
                conn.sendall(b"250 Accepted\r\n")
                return


class NntpPeer(OneConnectionPeer):
    """A scripted news server: records the commands and the posted article."""

    REPLIES = {b"AUTHINFO USER": b"381 Password required", b"AUTHINFO PASS": b"281 Authentication accepted",
               b"GROUP": b"211 1 1 1 group selected", b"POST": b"340 Send article", b"QUIT": b"205 Bye"}

    def __init__(self):
        super().__init__()
        self.commands = []
        self.article = b""

    def serve(self, conn):
        reader = conn.makefile("rb")
        conn.sendall(b"200 news.example ready\r\n")
        for line in reader:
            command = line.rstrip(b"\r\n")
            self.commands.append(command.decode("latin-1"))
            reply = next((r for c, r in self.REPLIES.items() if command.upper().startswith(c)), b"500 What?")
            conn.sendall(reply + b"\r\n")
            if command.upper() == b"POST":
                for data in reader:
                    if data == b".\r\n":
                        break
                    self.article += data
                conn.sendall(b"240 Article posted\r\n")
            if command.upper() == b"QUIT":
                break


def closed_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


class SendEndToEnd(unittest.TestCase):
    def setUp(self):
        self.peer = SmtpPeer()
        self.host = "127.0.0.1:%d" % self.peer.port
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.peer.stop()
        self.dir.cleanup()

    def file(self, name, content):
        path = os.path.join(self.dir.name, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def send(self, *args, stdin=None, sender=("--from", "ann@example.com")):
        run = subprocess.run([SENDER, *sender, *args], input=stdin, capture_output=True, timeout=60)
        lines = run.stdout.decode("latin-1").strip().splitlines()
        return run.returncode, (lines[-1] if lines else ""), run.stderr.decode("latin-1")

    def test_mail_with_every_list_and_an_attachment_arrives_whole(self):
        blob = bytes(range(256)) * 40 + b"tail"
        attachment = self.file("data.bin", blob)
        text = self.file("body.txt", b"Hello Bob,\r\nthe figures are attached.\r\n")
        status, last, err = self.send(
            "--host", self.host, "--from-name", "Ann Sender",
            "--subject", "Quarterly figures", "--to", "Bob Smith <bob@example.com>", "--to", "carl@example.com",
            "--cc", "Dora <dora@example.com>", "--bcc", "eve@example.com", "--priority", "1",
            "--organization", "Example Ltd", "--message-file", text, "--attach", attachment, "--quiet")
        self.assertEqual((status, last), (0, "Mail Send OK!"), err)
        self.assertEqual(len(self.peer.handler.messages), 1)
        recipients, message, _ = self.peer.handler.messages[0]
        self.assertEqual(sorted(recipients),
                         ["bob@example.com", "carl@example.com", "dora@example.com", "eve@example.com"])
        self.assertIn("Ann Sender", message["From"])
        self.assertIn("ann@example.com", message["From"])
        self.assertEqual(message["Subject"], "Quarterly figures")
        self.assertIn("bob@example.com", message["To"])
        self.assertIn("carl@example.com", message["To"])
        self.assertIn("dora@example.com", message["Cc"])
        self.assertNotIn("eve@example.com", str(message), "Bcc never shows in the message")
        self.assertEqual(message["X-Priority"].split()[0], "1")
        self.assertEqual(message["Organization"], "Example Ltd")
        parts = list(message.walk())
        texts = [p.get_payload(decode=True) for p in parts if p.get_content_type() == "text/plain"]
        self.assertTrue(any(b"the figures are attached." in t for t in texts), texts)
        blobs = [p.get_payload(decode=True) for p in parts if p.get_filename() == "data.bin"]
        self.assertEqual(blobs, [blob])

    def test_message_from_standard_input_and_reply_to(self):
        status, last, err = self.send("--host", self.host, "--to", "bob@example.com",
                                      "--return-path", "first@example.com", "--reply-to", "later@example.com",
                                      "--subject", "stdin", "--message-file", "-",
                                      stdin=b"Text from a pipe.\r\n")
        self.assertEqual((status, last), (0, "Mail Send OK!"), err)
        _, message, raw = self.peer.handler.messages[0]
        self.assertIn(b"Text from a pipe.", raw)
        self.assertIn(b"later@example.com", raw)
        self.assertNotIn(b"first@example.com", raw)

    def test_nothing_is_sent_for_an_unusable_command_line(self):
        missing = os.path.join(self.dir.name, "missing.pdf")
        cases = [
            (("--host", self.host, "--message", "x"), 15, "Error sending E-Mail! No recipiens specified",
             "no recipient"),
            (("--host", self.host, "--to", "bob@example.com", "--attach", missing), 1,
             "Error sending E-Mail! Bad arguments from form", "missing.pdf"),
            (("--host", self.host, "--to", "bob@example.com", "--message-file", self.dir.name), 1,
             "Error sending E-Mail! Bad arguments from form", "is a directory"),
            (("--host", self.host, "--to", "Bob <bob@example.com"), 1,
             "Error sending E-Mail! Bad arguments from form", "not a recipient"),
        ]
        for args, status, last, complaint in cases:
            with self.subTest(args=args):
                got_status, got_last, err = self.send(*args)
                self.assertEqual((got_status, got_last), (status, last))
                self.assertIn(complaint, err)
        got = self.send("--host", self.host, "--to", "bob@example.com", sender=())
        self.assertEqual(got[:2], (1, "Error sending E-Mail! Bad arguments from form"))
        self.assertIn("no sender", got[2])
        self.assertEqual(self.peer.handler.messages, [])

    def test_failures_give_their_result_code_and_text(self):
        status, last, _ = self.send("--host", self.host, "--to", "nobody@refused.example", "--message", "x")
        self.assertEqual(status, 9)
        self.assertTrue(last.startswith("Error sending E-Mail! Mail Server Error: 550"), last)
        self.assertIn("No such user here", last)

        status, last, _ = self.send("--host", "127.0.0.1:%d" % closed_port(), "--to", "bob@example.com",
                                    "--message", "x")
        self.assertEqual((status, last), (6, "Error sending E-Mail! Failed to connect. Mail Server not found!"))
        self.assertEqual(self.peer.handler.messages, [])

    def test_html_file_carries_its_picture(self):
        picture = b"\x89PNG\r\n\x1a\n" + bytes(200)
        self.file("logo.png", picture)
        page = self.file("page.html", b'<html><body><p>Hi</p><img src="logo.png"></body></html>\r\n')
        status, last, err = self.send("--host", self.host, "--to", "bob@example.com", "--html-file", page)
        self.assertEqual((status, last), (0, "Mail Send OK!"), err)
        _, message, _ = self.peer.handler.messages[0]
        kinds = {p.get_content_type(): p for p in message.walk()}
        self.assertIn("text/html", kinds)
        self.assertIn(b"cid:", kinds["text/html"].get_payload(decode=True))
        self.assertEqual(kinds["image/png"].get_payload(decode=True), picture)

    def test_progress_bar_only_on_a_terminal_and_not_when_quiet(self):
        body = self.file("body.txt", b"line of text\r\n" * 20000)
        for quiet in (False, True):
            with self.subTest(quiet=quiet):
                master, slave = pty.openpty()
                args = [SENDER, "--host", self.host, "--from", "ann@example.com", "--to", "bob@example.com",
                        "--message-file", body] + (["--quiet"] if quiet else [])
                process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=slave)
                os.close(slave)
                shown = b""
                while True:
                    try:
                        chunk = os.read(master, 4096)
                    except OSError:  # the terminal's other end has closed
                        break
                    if not chunk:
                        break
                    shown += chunk
                out, _ = process.communicate(timeout=60)
                os.close(master)
                self.assertEqual(process.returncode, 0)
                self.assertEqual(out.decode().strip().splitlines()[-1], "Mail Send OK!")
                if quiet:
                    self.assertEqual(shown, b"")
                else:
                    self.assertIn(b"\r[", shown)
                    self.assertRegex(shown, rb"100%  (\d+)/\1 bytes")
        # Not a terminal (a pipe, as in every other case here): no bar either.
        status, _, err = self.send("--host", self.host, "--to", "bob@example.com", "--message-file", body)
        self.assertEqual((status, err), (0, ""))


class NewsEndToEnd(unittest.TestCase):
    def test_article_is_posted_to_the_groups_with_the_login(self):
        peer = NntpPeer()
        peer.start()
        run = subprocess.run([SENDER, "--host", "127.0.0.1:%d" % peer.port, "--news", "local.test", "--news",
                              "local.other", "--user", "reader", "--password", "secret", "--from",
                              "ann@example.com", "--subject", "Posted", "--message", "An article.\r\n"],
                             capture_output=True, timeout=60)
        peer.join(30)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout.decode().strip().splitlines()[-1], "Mail Send OK!")
        # A server knows one group per GROUP command; the article names them all.
        self.assertEqual(peer.commands[:4], ["AUTHINFO USER reader", "AUTHINFO PASS secret", "GROUP local.test",
                                             "POST"])
        article = email.message_from_bytes(peer.article, policy=email.policy.compat32)
        self.assertEqual(article["Newsgroups"], "local.test,local.other")
        self.assertEqual(article["Subject"], "Posted")
        self.assertIn(b"An article.", peer.article)


class CancelEndToEnd(unittest.TestCase):
    def test_interrupt_cancels_the_transfer_and_nothing_is_delivered(self):
        peer = SlowDataPeer()
        peer.start()
        with tempfile.TemporaryDirectory() as folder:
            big = os.path.join(folder, "big.bin")
            with open(big, "wb") as f:
                f.write(os.urandom(8 * 1024 * 1024))
            process = subprocess.Popen(
                [SENDER, "--host", "127.0.0.1:%d" % peer.port, "--from", "ann@example.com", "--to", "bob@example.com", "--message", "x",
                 "--attach", big], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            self.assertTrue(peer.started_data.wait(30), "the transfer never started")
            process.send_signal(signal.SIGINT)
            out, err = process.communicate(timeout=60)
        peer.join(30)
        lines = out.decode().strip().splitlines()
        self.assertEqual(process.returncode, 14, err)
        self.assertEqual(lines[-1], "Error sending E-Mail! User Cancel")
        self.assertFalse(peer.saw_end_of_data, "a cancelled message must not be completed")
        self.assertLess(peer.data_bytes, 8 * 1024 * 1024)


if __name__ == "__main__":
    if not SENDER:
        sys.exit("usage: send_e2e_test.py PATH-TO-quillnet-send")
    unittest.main(verbosity=2)
