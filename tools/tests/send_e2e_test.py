#!/usr/bin/python3
"""quillnet-send end to end: real mails to a real SMTP server on loopback.

Usage: send_e2e_test.py PATH-TO-quillnet-send
"""
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

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "library", "tests", "peers")
sys.path.insert(0, PEERS)
from capture_server import CaptureHandler, ThreadedCaptureServer  # noqa: E402

SENDER = sys.argv.pop(1) if len(sys.argv) > 1 else None


def parse(raw):
    return email.message_from_bytes(raw, policy=email.policy.compat32)


def listener():
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    return sock, sock.getsockname()[1]


# Scripted peers for what a real server does not do on demand (read slowly,
# speak NNTP); every ordinary delivery goes to the capture server.
class OneConnectionPeer(threading.Thread):
    """A scripted server for one connection; subclasses talk in serve()."""

    def __init__(self):
        super().__init__(daemon=True)
        self.listener, self.port = listener()
        self.listener.listen(1)
        self.start()

    def run(self):
        conn, _ = self.listener.accept()
        self.listener.close()
        conn.settimeout(30)
        try:
            self.serve(conn.makefile("rb"), conn)
        except OSError:
            pass
        finally:
            conn.close()


class SlowDataPeer(OneConnectionPeer):
    """Reads the message text slowly, so the transfer is still running when
    the test interrupts the sender."""

    def __init__(self):
        self.data_bytes = 0
        self.saw_end_of_data = False
        self.started_data = threading.Event()
        super().__init__()

    def serve(self, reader, conn):
        conn.sendall(b"220 slow.example ESMTP\r\n")
        for line in reader:
            if line.upper().startswith(b"DATA"):
                break
            conn.sendall(b"250 OK\r\n")
        conn.sendall(b"354 Go ahead\r\n")
        tail = b""
        while chunk := reader.read1(16 * 1024):
            self.data_bytes += len(chunk)
            if self.data_bytes > 64 * 1024:
                self.started_data.set()
            time.sleep(0.02)
            tail = (tail + chunk)[-5:]
            if tail == b"\r\n.\r\n":
                self.saw_end_of_data = True
                conn.sendall(b"250 Accepted\r\n")
                return


class NntpPeer(OneConnectionPeer):
    """A scripted news server: records the commands and the posted article."""

    REPLIES = {b"AUTHINFO USER": b"381 Password required", b"AUTHINFO PASS": b"281 Authentication accepted",
               b"GROUP": b"211 1 1 1 group selected", b"POST": b"340 Send article", b"QUIT": b"205 Bye"}

    def __init__(self):
        self.commands = []
        self.article = b""
        super().__init__()

    def serve(self, reader, conn):
        conn.sendall(b"200 news.example ready\r\n")
        for line in reader:
            command = line.rstrip(b"\r\n")
            self.commands.append(command.decode("latin-1"))
            conn.sendall(next((r for c, r in self.REPLIES.items() if command.upper().startswith(c)),
                              b"500 What?") + b"\r\n")
            if command.upper() == b"POST":
                for data in iter(reader.readline, b".\r\n"):
                    self.article += data
                conn.sendall(b"240 Article posted\r\n")
            if command.upper() == b"QUIT":
                break


def run(*args, stdin=None):
    done = subprocess.run([SENDER, *args], input=stdin, capture_output=True, timeout=60)
    lines = done.stdout.decode("latin-1").strip().splitlines()
    return done.returncode, (lines[-1] if lines else ""), done.stderr.decode("latin-1")


class SendEndToEnd(unittest.TestCase):
    def setUp(self):
        self.peer = ThreadedCaptureServer(CaptureHandler(refused_domain="refused.example"))
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

    def delivered(self):
        """(envelope recipients, parsed message, raw bytes) of each delivery."""
        return [(recipients, parse(raw), raw) for _, recipients, raw in self.peer.handler.messages]

    def send(self, *args, stdin=None, sender=("--from", "ann@example.com")):
        return run(*sender, "--host", self.host, *args, stdin=stdin)

    def test_mail_with_every_list_and_an_attachment_arrives_whole(self):
        blob = bytes(range(256)) * 40 + b"tail"
        attachment = self.file("data.bin", blob)
        status, last, err = self.send(
            "--from-name", "Ann Sender", "--subject", "Quarterly figures", "--to", "Bob Smith <bob@example.com>",
            "--to", "carl@example.com", "--cc", "Dora <dora@example.com>", "--bcc", "eve@example.com",
            "--priority", "1", "--organization", "Example Ltd", "--return-path", "first@example.com",
            "--reply-to", "later@example.com", "--message-file", "-", "--attach", attachment, "--quiet",
            stdin=b"Hello Bob,\r\nthe figures are attached.\r\n")
        self.assertEqual((status, last), (0, "Mail Send OK!"), err)
        [(recipients, message, raw)] = self.delivered()
        self.assertEqual(sorted(recipients),
                         ["bob@example.com", "carl@example.com", "dora@example.com", "eve@example.com"])
        for header, part in (("From", "Ann Sender"), ("From", "ann@example.com"), ("To", "bob@example.com"),
                             ("To", "carl@example.com"), ("Cc", "dora@example.com")):
            self.assertIn(part, message[header])
        self.assertNotIn(b"eve@example.com", raw, "Bcc never shows in the message")
        self.assertEqual((message["Subject"], message["Organization"], message["X-Priority"].split()[0]),
                         ("Quarterly figures", "Example Ltd", "1"))
        self.assertIn(b"later@example.com", raw)
        self.assertNotIn(b"first@example.com", raw)
        parts = list(message.walk())
        texts = [p.get_payload(decode=True) for p in parts if p.get_content_type() == "text/plain"]
        self.assertTrue(any(b"the figures are attached." in t for t in texts), texts)
        self.assertEqual([p.get_payload(decode=True) for p in parts if p.get_filename() == "data.bin"], [blob])

    def test_unusable_command_lines_and_failures_give_their_result_code_and_text(self):
        bad = "Error sending E-Mail! Bad arguments from form"
        to = ("--to", "bob@example.com")
        cases = [
            (("--message", "x"), 15, "Error sending E-Mail! No recipiens specified", "no recipient"),
            (to + ("--attach", os.path.join(self.dir.name, "missing.pdf")), 1, bad, "missing.pdf"),
            (to + ("--message-file", self.dir.name), 1, bad, "is a directory"),
            (("--to", "Bob <bob@example.com"), 1, bad, "not a recipient"),
        ]
        for args, status, last, complaint in cases:
            with self.subTest(args=args):
                got_status, got_last, err = self.send(*args)
                self.assertEqual((got_status, got_last), (status, last))
                self.assertIn(complaint, err)
        status, last, err = self.send(*to, sender=())
        self.assertEqual((status, last), (1, bad))
        self.assertIn("no sender", err)

        status, last, _ = self.send("--to", "nobody@refused.example", "--message", "x")
        self.assertEqual(status, 9)
        self.assertTrue(last.startswith("Error sending E-Mail! Mail Server Error: 550"), last)
        self.assertIn("No such user here", last)
        sock, port = listener()
        sock.close()
        got = run("--from", "a@example.com", "--host", "127.0.0.1:%d" % port, *to, "--message", "x")
        self.assertEqual(got[:2], (6, "Error sending E-Mail! Failed to connect. Mail Server not found!"))
        self.assertEqual(self.delivered(), [])

    def test_html_file_carries_its_picture(self):
        picture = b"\x89PNG\r\n\x1a\n" + bytes(200)
        self.file("logo.png", picture)
        page = self.file("page.html", b'<html><body><p>Hi</p><img src="logo.png"></body></html>\r\n')
        status, last, err = self.send("--to", "bob@example.com", "--html-file", page)
        self.assertEqual((status, last), (0, "Mail Send OK!"), err)
        kinds = {p.get_content_type(): p for p in self.delivered()[0][1].walk()}
        self.assertIn(b"cid:", kinds["text/html"].get_payload(decode=True))
        self.assertEqual(kinds["image/png"].get_payload(decode=True), picture)

    def test_progress_bar_only_on_a_terminal_and_not_when_quiet(self):
        body = self.file("body.txt", b"line of text\r\n" * 20000)
        args = [SENDER, "--host", self.host, "--from", "ann@example.com", "--to", "bob@example.com",
                "--message-file", body]
        for quiet in (False, True):
            with self.subTest(quiet=quiet):
                master, slave = pty.openpty()
                process = subprocess.Popen(args + ["--quiet"] * quiet, stdout=subprocess.PIPE, stderr=slave)
                os.close(slave)
                shown = b""
                try:
                    while chunk := os.read(master, 4096):
                        shown += chunk
                except OSError:  # the terminal's other end has closed
                    pass
                out, _ = process.communicate(timeout=60)
                os.close(master)
                self.assertEqual((process.returncode, out.decode().strip().splitlines()[-1]), (0, "Mail Send OK!"))
                if quiet:
                    self.assertEqual(shown, b"")
                else:
                    self.assertIn(b"\r[", shown)
                    self.assertRegex(shown, rb"100%  (\d+)/\1 bytes")
        # Not a terminal (a pipe, as in every other case here): no bar either.
        status, _, err = self.send("--to", "bob@example.com", "--message-file", body)
        self.assertEqual((status, err), (0, ""))
        self.assertIn(b"line of text\r\n" * 100, self.delivered()[-1][2])


class NewsAndCancelEndToEnd(unittest.TestCase):
    def test_article_is_posted_to_the_groups_with_the_login(self):
        peer = NntpPeer()
        status, last, err = run("--host", "127.0.0.1:%d" % peer.port, "--news", "local.test", "--news",
                                "local.other", "--user", "reader", "--password", "secret", "--from",
                                "ann@example.com", "--subject", "Posted", "--message", "An article.\r\n")
        peer.join(30)
        self.assertEqual((status, last), (0, "Mail Send OK!"), err)
        # A server knows one group per GROUP command; the article names them all.
        self.assertEqual(peer.commands[:4], ["AUTHINFO USER reader", "AUTHINFO PASS secret", "GROUP local.test",
                                             "POST"])
        article = parse(peer.article)
        self.assertEqual((article["Newsgroups"], article["Subject"]), ("local.test,local.other", "Posted"))
        self.assertIn(b"An article.", peer.article)

    def test_interrupt_cancels_the_transfer_and_nothing_is_delivered(self):
        peer = SlowDataPeer()
        with tempfile.NamedTemporaryFile() as big:
            big.write(os.urandom(8 * 1024 * 1024))
            big.flush()
            process = subprocess.Popen(
                [SENDER, "--host", "127.0.0.1:%d" % peer.port, "--from", "ann@example.com", "--to",
                 "bob@example.com", "--message", "x", "--attach", big.name],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            self.assertTrue(peer.started_data.wait(30), "the transfer never started")
            process.send_signal(signal.SIGINT)
            out, err = process.communicate(timeout=60)
        peer.join(30)
        self.assertEqual(process.returncode, 14, err)
        self.assertEqual(out.decode().strip().splitlines()[-1], "Error sending E-Mail! User Cancel")
        self.assertFalse(peer.saw_end_of_data, "a cancelled message must not be completed")
        self.assertLess(peer.data_bytes, 8 * 1024 * 1024)


class LoginEndToEnd(unittest.TestCase):
    """smtps:// to the capture peer, which wants TLS and the login ann/pw."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.cert = os.path.join(cls.dir.name, "localhost.pem")
        cls.key = os.path.join(cls.dir.name, "localhost.key")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", cls.key,
                        "-out", cls.cert, "-days", "2", "-subj", "/CN=localhost",
                        "-addext", "subjectAltName=DNS:localhost"], check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def setUp(self):
        self.inbox = tempfile.mkdtemp(dir=self.dir.name)
        self.peer = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(PEERS, "capture_server.py"), self.inbox, "--cert", self.cert,
             "--key", self.key, "--implicit-tls", "--auth", "ann:pw", "--refuse", "refused.example"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        port = self.peer.stdout.readline().split()[1].decode()
        self.args = ["--host", "smtps://localhost:" + port, "--user", "ann", "--from", "ann@example.com",
                     "--message", "Hello.", "--quiet"]
        self.env = dict(os.environ, QUILLNET_TLS_CA_FILE=self.cert)
        self.env.pop("QUILLNET_PASSWORD", None)

    def tearDown(self):
        self.peer.stdin.close()
        self.peer.wait(10)
        self.peer.stdout.close()

    def envelopes(self):
        found = []
        for name in sorted(n for n in os.listdir(self.inbox) if n.endswith(".envelope")):
            with open(os.path.join(self.inbox, name)) as envelope:
                found.append(envelope.read().split()[1:])
        return found

    def test_password_file_and_refused_recipients_listed_for_16(self):
        password = os.path.join(self.dir.name, "password")
        with open(password, "w") as f:
            f.write("pw\nsecond line\n")
        done = subprocess.run([SENDER, *self.args, "--password-file", password, "--to", "bob@example.com",
                               "--to", "nobody@refused.example", "--to", "carl@example.com"],
                              env=self.env, capture_output=True, timeout=60)
        lines = done.stdout.decode().splitlines()
        self.assertEqual(done.returncode, 16, done.stderr)
        self.assertEqual(lines[:-1], ["Refused: <nobody@refused.example> 550 5.1.1 No such user here"])
        self.assertTrue(lines[-1].startswith("Error sending E-Mail! Some recipients were refused:"), lines)
        self.assertEqual(self.envelopes(), [["bob@example.com", "carl@example.com"]])

    def test_wrong_password_from_the_environment_delivers_nothing(self):
        done = subprocess.run([SENDER, *self.args, "--to", "bob@example.com"], capture_output=True,
                              env=dict(self.env, QUILLNET_PASSWORD="wrong"), timeout=60)
        self.assertEqual(done.returncode, 9, done.stderr)
        self.assertIn("535", done.stdout.decode())
        self.assertEqual(self.envelopes(), [])

    def test_password_asked_on_the_terminal_without_echo(self):
        master, slave = pty.openpty()
        process = subprocess.Popen([SENDER, *self.args, "--to", "bob@example.com"], stdin=slave,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env)
        os.close(slave)
        self.assertEqual(process.stderr.read(len("Password for ann: ")), b"Password for ann: ")
        os.write(master, b"pw\n")
        out, err = process.communicate(timeout=60)
        echoed = os.read(master, 1024)
        os.close(master)
        self.assertEqual(process.returncode, 0, out + err)
        self.assertNotIn(b"pw", echoed)
        self.assertEqual(self.envelopes(), [["bob@example.com"]])


if __name__ == "__main__":
    if not SENDER:
        sys.exit("usage: send_e2e_test.py PATH-TO-quillnet-send")
    unittest.main(verbosity=2)
