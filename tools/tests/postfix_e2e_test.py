#!/usr/bin/python3
"""quillnet-send against a private Postfix on loopback: STARTTLS and TLS from
the first byte, SASL logins from a sasldb, a recipient limit of 3, and
delivery into Maildirs in a temporary folder, read back with Python's email
package. Needs root (Postfix's master starts as root) and Debian's postfix
and sasl2-bin; exits 77 (skipped) without them.

Usage: postfix_e2e_test.py PATH-TO-quillnet-send
"""
import email
import email.policy
import os
import pwd
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

SENDER = sys.argv.pop(1) if len(sys.argv) > 1 else None
SKIPPED = 77
MAILBOXES = ["bob", "carol", "dave", "erin", "frank"]


def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


class PrivatePostfix:
    """One Postfix instance with its configuration, queue and mail under `folder`."""

    def __init__(self, folder):
        self.folder = folder
        self.etc = os.path.join(folder, "etc")
        self.mail = os.path.join(folder, "mail")
        self.starttls_port, self.tls_port = free_port(), free_port()
        for name in ("etc/sasl", "queue", "data", "mail"):
            os.makedirs(os.path.join(folder, name))
        self.cert = os.path.join(self.etc, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                        os.path.join(self.etc, "key.pem"), "-out", self.cert, "-days", "2", "-subj",
                        "/CN=localhost", "-addext", "subjectAltName=DNS:localhost"],
                       check=True, capture_output=True)
        owner = pwd.getpwnam("postfix")
        maps = ", ".join("%s@example.org=%s/" % (box, box) for box in MAILBOXES)
        settings = {
            "compatibility_level": "3.6",
            "queue_directory": os.path.join(folder, "queue"),
            "data_directory": os.path.join(folder, "data"),
            "mail_owner": "postfix",
            "maillog_file": os.path.join(folder, "maillog"),
            "maillog_file_prefixes": folder,
            "myhostname": "mx.test.local",
            "mydestination": "",
            "inet_interfaces": "127.0.0.1",
            "inet_protocols": "ipv4",
            "smtpd_recipient_limit": "3",
            "virtual_mailbox_domains": "example.org",
            "virtual_mailbox_base": self.mail,
            "virtual_mailbox_maps": "inline:{ %s }" % maps,
            "virtual_uid_maps": "static:%d" % owner.pw_uid,
            "virtual_gid_maps": "static:%d" % owner.pw_gid,
            "smtpd_tls_cert_file": self.cert,
            "smtpd_tls_key_file": os.path.join(self.etc, "key.pem"),
            "smtpd_tls_security_level": "encrypt",
            "smtpd_tls_auth_only": "yes",
            "smtpd_sasl_auth_enable": "yes",
            "smtpd_sasl_type": "cyrus",
            "smtpd_sasl_path": "smtpd",
            "smtpd_sasl_local_domain": "test.local",
            "smtpd_recipient_restrictions": "permit_sasl_authenticated, reject",
        }
        with open(os.path.join(self.etc, "main.cf"), "w") as main:
            main.writelines("%s = %s\n" % item for item in settings.items())
        # The stock services, with smtpd on two loopback ports instead of 25.
        with open("/usr/share/postfix/master.cf.dist") as stock:
            services = [line for line in stock if not line.startswith("smtp      inet")]
        services.insert(0, "127.0.0.1:%d inet n - n - - smtpd\n" % self.starttls_port)
        services.insert(1, "127.0.0.1:%d inet n - n - - smtpd -o smtpd_tls_wrappermode=yes\n" % self.tls_port)
        with open(os.path.join(self.etc, "master.cf"), "w") as master:
            master.writelines(services)
        # Debian's smtpd reads its SASL settings from <config>/sasl/smtpd.conf.
        sasldb = os.path.join(self.etc, "sasl", "sasldb2")
        with open(os.path.join(self.etc, "sasl", "smtpd.conf"), "w") as conf:
            conf.write("pwcheck_method: auxprop\nauxprop_plugin: sasldb\nmech_list: PLAIN LOGIN\n"
                       "sasldb_path: %s\n" % sasldb)
        subprocess.run(["saslpasswd2", "-p", "-f", sasldb, "-u", "test.local", "-c", "ann"], input=b"pw",
                       check=True)
        for path in (sasldb, self.mail, os.path.join(folder, "data")):
            os.chown(path, owner.pw_uid, -1)

    def postfix(self, command):
        return subprocess.run(["postfix", "-c", self.etc, command], capture_output=True, timeout=60)

    def start(self):
        done = self.postfix("start")
        if done.returncode != 0:
            raise RuntimeError("postfix did not start: %s%s" % (done.stdout, self.log()))
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.tls_port), 1).close()
                return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("postfix does not listen: " + self.log())

    def stop(self):
        self.postfix("stop")

    def log(self):
        try:
            with open(os.path.join(self.folder, "maillog")) as log:
                return log.read()
        except OSError:
            return ""

    def delivered(self, settle=3.0):
        """{mailbox: [parsed messages]} once nothing new arrives for a while."""
        deadline, last, found = time.monotonic() + 30, None, {}
        while time.monotonic() < deadline:
            found = {}
            for box in MAILBOXES:
                new = os.path.join(self.mail, box, "new")
                if os.path.isdir(new):
                    found[box] = sorted(os.listdir(new))
            queue_empty = not any(files for q in ("incoming", "active", "deferred")
                                  for _, _, files in os.walk(os.path.join(self.folder, "queue", q)))
            if found == last and queue_empty:
                break
            last = found
            time.sleep(settle / 3)
        messages = {}
        for box, names in found.items():
            messages[box] = []
            for name in names:
                with open(os.path.join(self.mail, box, "new", name), "rb") as raw:
                    messages[box].append(email.message_from_binary_file(raw, policy=email.policy.default))
        return messages

    def empty_mailboxes(self):
        for box in MAILBOXES:
            shutil.rmtree(os.path.join(self.mail, box), ignore_errors=True)


class PostfixEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="quillnet-postfix-")
        os.chmod(cls.dir, 0o755)  # the postfix user reads its settings here
        cls.server = PrivatePostfix(cls.dir)
        cls.server.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        self.server.empty_mailboxes()

    def send(self, scheme, port, recipients, password="pw"):
        args = [SENDER, "--host", "%s://localhost:%d" % (scheme, port), "--user", "ann", "--from",
                "ann@example.com", "--subject", "Through Postfix", "--message", "Hello through Postfix.",
                "--quiet"]
        for recipient in recipients:
            args += ["--to", recipient]
        env = dict(os.environ, QUILLNET_TLS_CA_FILE=self.server.cert, QUILLNET_PASSWORD=password)
        done = subprocess.run(args, env=env, capture_output=True, timeout=120)
        return done.returncode, done.stdout.decode().splitlines()

    def test_delivered_over_starttls_and_implicit_tls(self):
        for scheme, port in (("smtp+starttls", self.server.starttls_port), ("smtps", self.server.tls_port)):
            with self.subTest(scheme=scheme):
                self.server.empty_mailboxes()
                status, lines = self.send(scheme, port, ["bob@example.org"])
                self.assertEqual(status, 0, lines)
                delivered = self.server.delivered()
                self.assertEqual(list(delivered), ["bob"], self.server.log()[-2000:])
                message = delivered["bob"][0]
                self.assertEqual(message["Subject"], "Through Postfix")
                self.assertTrue(message["Message-ID"].startswith("<"))
                self.assertIn("Hello through Postfix.", message.get_body().get_content())

    def test_wrong_password_is_9_and_nothing_is_delivered(self):
        status, lines = self.send("smtp+starttls", self.server.starttls_port, ["bob@example.org"], "wrong")
        self.assertEqual(status, 9, lines)
        self.assertIn("535", lines[-1])
        self.assertEqual(self.server.delivered(), {})

    def test_past_the_recipient_limit_and_with_a_refusal_each_gets_it_once(self):
        recipients = ["bob@example.org", "nobody@example.org", "carol@example.org", "dave@example.org",
                      "erin@example.org", "frank@example.org"]
        status, lines = self.send("smtps", self.server.tls_port, recipients)
        self.assertEqual(status, 16, lines)
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[0].startswith("Refused: <nobody@example.org> 550 "), lines)
        delivered = self.server.delivered()
        self.assertEqual({box: len(messages) for box, messages in delivered.items()},
                         {box: 1 for box in MAILBOXES})


if __name__ == "__main__":
    if not SENDER:
        sys.exit("usage: postfix_e2e_test.py PATH-TO-quillnet-send")
    if os.geteuid() != 0 or not shutil.which("postfix") or not shutil.which("saslpasswd2"):
        print("skipped: needs root, postfix and sasl2-bin")
        sys.exit(SKIPPED)
    unittest.main(verbosity=2)
