#!/usr/bin/python3
"""Runs a Windows build of the mail library (i686 or x86-64) under Wine.

The same C host (wrenpost_host.c) is built for Windows, where it loads
quillnet.dll by name, and for Linux against libquillnet. Each case runs the
Windows host under Wine against a scripted SMTP or news peer on 127.0.0.1, mostly
also the Linux host against a peer of its own, and compares: what the peer
received must be the same bytes once boundaries, Content-IDs and the Date
line are masked, and the delivered message must parse with its attachments
intact.

  run_wine_tests.py --windows-build DIR --linux-host PATH --work DIR [--case NAME]...

DIR is the MinGW build tree of either width. Prints one line per check and ends with
a summary; the exit status is the number of failed checks.
"""
import argparse
import difflib
import email
import email.policy
import hashlib
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from test_certificates import TestCertificates

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(HERE, "..", "peers", "capture_server.py")
NEWS_PEER = os.path.join(HERE, "news_peer.py")
# The same server runs the TLS cases, with the login it is given.
CAPTURE_SERVER = PEER
LOGIN = "ann:c0rrect horse"
# The attachment that must cross TLS intact, and how long its run may take.
HUGE_BYTES = 100 << 20
HUGE_RUN_SECONDS = 600
PYTHON = "/usr/bin/python3"
RUN_SECONDS = 90
# Creating a prefix and booting its session, on a loaded machine.
BOOT_SECONDS = 300
# The library's own wait for a silent server, for both builds: a fault that
# leaves the dialogue waiting fails the case instead of stalling the run.
LIBRARY_TIMEOUT = "20"
# The Wine loader to start programs with. Debian's "wine" picks the 32-bit
# loader whenever it is installed; on a kernel that cannot execute 32-bit
# programs the 64-bit build is run through "wine64" instead.
WINE = os.environ.get("QUILLNET_WINE", "wine")

REGISTERED_TYPES = {
    "qnt": "application/x-quillnet-test",
    "qnp": "text/plain; charset=us-ascii",
    # 64 characters and more do not fit the registry buffer.
    "qnl": "application/x-quillnet-type-whose-name-does-not-fit-sixty-four-bytes",
}

# A 1x1 GIF, and the HTML that shows it twice. Each reference stands on a
# line of its own, short enough that its quoted-printable line is not broken
# whatever the length of the Content-ID.
PICTURE = bytes.fromhex(
    "47494638396101000100800000000000ffffff21f90401000000002c000000000100010000020144003b")
PAGE = (b"<html><body><p>Picture:</p>\r\n"
        b"<img src=\"pic.gif\">\r\n"
        b"<p>Again:</p>\r\n"
        b"<img src=\"pic.gif\">\r\n"
        b"<p>Caf\xe9 served.</p>\r\n"
        b"</body></html>\r\n")
REPORT = b"Quarterly figures\r\n" * 40
BINARY = bytes(range(256)) * 8 + b"\r\n.\r\n" + bytes(range(255, -1, -1))
LARGE = random.Random(6).randbytes(12 << 20)


def run_captured(command, env, cwd=None, check=False, seconds=RUN_SECONDS):
    """Runs a program and returns its CompletedProcess. Output goes through
    files, not pipes: Wine's service processes inherit the handles and
    outlive the program, so a pipe would not close when the program ends."""
    started = time.monotonic()
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            finished = subprocess.run(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=out,
                                      stderr=err, timeout=seconds, check=check)
            status, note = finished.returncode, b""
        except subprocess.TimeoutExpired:
            status, note = -1, b"\n(stopped after %d s)" % seconds
        out.seek(0)
        err.seek(0)
        done = subprocess.CompletedProcess(command, status, out.read() + note, err.read())
        done.seconds = time.monotonic() - started
        return done


def exit_note(run):
    """The exit status of a failed run, in hexadecimal too (Windows reports
    a crash as an NTSTATUS such as 0xc0000005), and how long it took."""
    return "exit status %d (0x%08x) after %.1f s" % (run.returncode, run.returncode & 0xffffffff,
                                                     getattr(run, "seconds", 0.0))


class Failures:
    def __init__(self):
        self.count = 0

    def check(self, condition, what, detail=""):
        print(("ok      " if condition else "FAILED  ") + what, flush=True)
        if not condition:
            self.count += 1
            if detail:
                print("        " + detail.replace("\n", "\n        "), flush=True)
        return condition


def windows_path(path):
    """The name Wine gives a Linux path (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def closed_port():
    """A loopback port on which nobody listens."""
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def end_peer(process):
    """Waits up to 30 s for a peer that has been told or is due to end, then
    kills it."""
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Peer:
    """The capture server, serving one connection per mode and keeping the
    bytes each one received."""

    def __init__(self, record_dir, *modes):
        os.makedirs(record_dir, exist_ok=True)
        self.record_dir = record_dir
        self.process = subprocess.Popen([PYTHON, PEER, os.path.join(record_dir, "inbox"), "--ignore-stdin",
                                         "--any-sender", "--record", record_dir, "--connections"] + list(modes),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline().split()[1])
        self.server = "127.0.0.1:%d" % self.port

    def finish(self):
        end_peer(self.process)

    def received(self, number=1):
        with open(os.path.join(self.record_dir, "conn-%d.bin" % number), "rb") as record:
            return record.read()

    def ending(self, number=1):
        path = os.path.join(self.record_dir, "conn-%d.end" % number)
        return open(path).read() if os.path.exists(path) else "no connection"


class CapturePeer:
    """The aiosmtpd capture server with a TLS certificate and the test login:
    STARTTLS, or TLS from the first byte. It keeps every message it accepts
    and stops when its standard input closes."""

    def __init__(self, folder, certificate, implicit_tls, options=()):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        self.folder = folder
        command = [PYTHON, CAPTURE_SERVER, folder, "--cert", certificate,
                   "--key", TestCertificates.key_of(certificate), "--auth", LOGIN]
        command += (["--implicit-tls"] if implicit_tls else []) + list(options)
        # Its warnings and the tracebacks of refused handshakes go to a log
        # beside the messages, not into the test report.
        with open(os.path.join(folder, "server.log"), "wb") as log:
            self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                            stderr=log, text=True)
        line = self.process.stdout.readline()
        self.port = int(line.split()[1]) if line.startswith("PORT ") else 0

    def url(self, scheme, host="localhost"):
        return "%s://%s:%d" % (scheme, host, self.port)

    def stop(self):
        self.process.stdin.close()
        end_peer(self.process)

    def messages(self):
        """(message bytes, envelope lines) of every accepted message, in order."""
        found = []
        number = 1
        while os.path.exists(os.path.join(self.folder, "%d.eml" % number)):
            base = os.path.join(self.folder, "%d" % number)
            with open(base + ".eml", "rb") as message, open(base + ".envelope") as envelope:
                found.append((message.read(), envelope.read().splitlines()))
            number += 1
        return found


class NewsPeer:
    """The TLS news server of news_peer.py, serving one connection."""

    def __init__(self, folder, certificate, mode):
        shutil.rmtree(folder, ignore_errors=True)
        self.folder = folder
        self.process = subprocess.Popen(
            [PYTHON, NEWS_PEER, folder, certificate, TestCertificates.key_of(certificate), mode],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.port = int(self.process.stdout.readline() or 0)

    def url(self, scheme):
        return "%s://localhost:%d" % (scheme, self.port)

    def finish(self):
        end_peer(self.process)

    def read(self, name, mode="r"):
        path = os.path.join(self.folder, name)
        if not os.path.exists(path):
            return "" if mode == "r" else b""
        with open(path, mode) as found:
            return found.read()


def mask_submission(message):
    """Blanks the header lines that must differ between two runs of one job."""
    return re.sub(rb"(?mi)^(Date|Message-ID): [^\r\n]*", rb"\1: *", message)


def mask(transcript):
    """Blanks what differs between two runs of the same job. Quoted-printable
    soft line breaks go too: they move with the length of the Content-IDs."""
    transcript = transcript.replace(b"=\r\n", b"")
    hexa = rb"[0-9A-F]+\.[0-9A-F]+\.[0-9A-F]+\.[0-9A-F]+"
    transcript = re.sub(rb"PART\.BOUNDARY\.(MIXED|RELATED)\." + hexa, rb"PART.BOUNDARY.\1.*", transcript)
    transcript = re.sub(rb"PART\.CID\." + hexa, rb"PART.CID.*", transcript)
    return re.sub(rb"(?m)^Date: [^\r\n]*", rb"Date: *", transcript)


def message_of(transcript):
    """The message inside an SMTP transcript, dot-stuffing undone."""
    start = transcript.index(b"DATA\r\n") + len(b"DATA\r\n")
    end = transcript.index(b"\r\n.\r\n", start)
    data = transcript[start:end + 2]
    return re.sub(rb"(?m)^\.\.", b".", data)


def diff(left, right):
    lines = difflib.unified_diff(left.decode("latin-1").splitlines(), right.decode("latin-1").splitlines(),
                                 "windows", "linux", lineterm="", n=1)
    return "\n".join(list(lines)[:40])


class Runner:
    def __init__(self, args):
        self.work = os.path.abspath(args.work)
        self.build = os.path.abspath(args.windows_build)
        self.linux_host = os.path.abspath(args.linux_host)
        self.data = os.path.join(self.work, "data")
        self.windows_host = os.path.join(self.build, "library", "tests", "windows", "wrenpost_host.exe")
        self.windows_units = os.path.join(self.build, "library", "tests", "windows",
                                          "quillnet_unit_tests_windows.exe")
        self.windows_sender = os.path.join(self.build, "tools", "quillnet-send.exe")
        self.windows_abi = os.path.join(self.build, "library", "tests", "windows",
                                        "quillnet_abi_test_windows.exe")
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": os.path.join(self.work, "wineprefix"),
            "WINEDEBUG": "-all",
            # No offers to download Mono or Gecko on first start.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            # The DLL is found beside the build, as beside a host's program.
            "WINEPATH": windows_path(os.path.join(self.build, "library")),
            # OEM page 437 and ANSI page 1252, as on the hosts' systems.
            "LANG": "en_US.UTF-8",
            "LC_ALL": "",
        })
        for variable in ("MAIL_TEMP", "MM_CHARSET"):
            self.env.pop(variable, None)
        self.env["QUILLNET_TIMEOUT"] = LIBRARY_TIMEOUT
        self.failures = Failures()
        self.case_number = 0
        self.cases = args.case or self.ALL_CASES

    # ---- set-up ----

    def wine(self, *command, cwd=None, check=False):
        return run_captured([WINE] + list(command), self.env, cwd=cwd, check=check)

    def start_wine(self):
        started = time.monotonic()
        # One server for the whole run instead of one per program; it needs
        # the prefix folder to exist.
        os.makedirs(self.env["WINEPREFIX"], exist_ok=True)
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        # The first program of a fresh server boots the session (creating the
        # prefix when it is new) and waits for it. An explicit "wineboot -i"
        # on top boots it a second time: a second service manager and a
        # second set of driver hosts, started while the first are running.
        for number, (extension, content_type) in enumerate(REGISTERED_TYPES.items()):
            done = run_captured([WINE, "reg", "add", "HKCR\\." + extension, "/v", "Content Type", "/t",
                                 "REG_SZ", "/d", content_type, "/f"], self.env,
                                seconds=BOOT_SECONDS if number == 0 else RUN_SECONDS)
            if done.returncode != 0:
                raise RuntimeError("wine could not register .%s (%s): %s" % (
                    extension, exit_note(done), (done.stdout + done.stderr).decode("latin-1")[-2000:]))
        print("wine prefix ready in %.1f s" % (time.monotonic() - started), flush=True)

    def stop_wine(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def write_data(self):
        os.makedirs(self.data, exist_ok=True)
        files = {"pic.gif": PICTURE, "page.html": PAGE, "report.qnt": REPORT, "data.bin": BINARY,
                 "notes.qnp": b"Notes.\r\n", "long.qnl": b"Long.\r\n", "large.bin": LARGE}
        for name, content in files.items():
            with open(os.path.join(self.data, name), "wb") as out:
                out.write(content)
        # The Linux build reads registered types from a mime.types file.
        with open(os.path.join(self.data, "mime.types"), "w") as out:
            for extension, content_type in REGISTERED_TYPES.items():
                out.write("%s %s\n" % (content_type.replace(" ", ""), extension))

    # ---- running the hosts ----

    def record_dir(self, name):
        self.case_number += 1
        return os.path.join(self.work, "records", "%02d-%s" % (self.case_number, name))

    def run_windows(self, *arguments, extra_env=None):
        env = dict(self.env)
        env.update(extra_env or {})
        return run_captured([WINE, self.windows_host] + list(arguments), env, cwd=self.data)

    def run_linux(self, *arguments, extra_env=None):
        env = {key: value for key, value in os.environ.items()
               if key not in ("MAIL_TEMP", "MM_CHARSET", "QUILLNET_TIMEOUT")}
        env["QUILLNET_MIME_TYPES"] = os.path.join(self.data, "mime.types")
        env["QUILLNET_TIMEOUT"] = LIBRARY_TIMEOUT
        env.update(extra_env or {})
        return run_captured([self.linux_host] + list(arguments), env, cwd=self.data)

    def host_ran(self, platform, what, run, case=None):
        output = run.stdout.decode("latin-1") + run.stderr.decode("latin-1")
        return self.failures.check(run.returncode == 0 and ((case or what) + ": ok") in output,
                                   "%s: %s host checks" % (platform, what),
                                   "%s\n%s" % (exit_note(run), output.strip()))

    # ---- cases ----

    def case_layout(self):
        run = self.wine(self.windows_abi, cwd=os.path.join(self.build, "library"))
        output = run.stdout.decode("latin-1")
        self.failures.check(run.returncode == 0 and " 0 failed" in output,
                            "windows: job block layout and global memory calls", output.strip())

    def case_unit_tests(self):
        if not os.path.exists(self.windows_units):
            print("        library unit tests not built (no GoogleTest sources)")
            return
        # These two provoke a read failure by reading a write-only stream;
        # the Windows C runtime (as Wine has it) reports end of file instead.
        linux_only = "MessageTransfer.UnreadableFileIsReportedNotSent:" \
                     "TransferEncoderFileTest.FailuresAreNotReportedAsSuccess"
        run = self.wine(self.windows_units, "--gtest_filter=-" + linux_only, "--gtest_brief=1",
                        cwd=self.work)
        output = run.stdout.decode("latin-1")
        passed = re.search(r"\[  PASSED  \] (\d+) test", output)
        self.failures.check(run.returncode == 0 and passed is not None,
                            "windows: encoder and wire filter unit tests (%s passed)"
                            % (passed.group(1) if passed else "none"), output[-3000:])

    def case_mail(self):
        windows_peer = Peer(self.record_dir("mail-windows"), "accept")
        windows = self.run_windows("mail", windows_peer.server, windows_path(self.data))
        windows_peer.finish()
        linux_peer = Peer(self.record_dir("mail-linux"), "accept")
        linux = self.run_linux("mail", linux_peer.server, self.data)
        linux_peer.finish()
        if not (self.host_ran("windows", "mail", windows) & self.host_ran("linux", "mail", linux)):
            return
        from_windows, from_linux = windows_peer.received(), linux_peer.received()
        self.failures.check(windows_peer.ending() == "quit", "windows: mail dialogue ends with QUIT",
                            windows_peer.ending())
        self.failures.check(mask(from_windows) == mask(from_linux),
                            "windows and linux send the same bytes for the same job",
                            diff(mask(from_windows), mask(from_linux)))
        self.check_ids("windows", windows.stdout, from_windows, with_ticks=True)
        self.check_ids("linux", linux.stdout, from_linux, with_ticks=False)
        self.check_delivered_mail(message_of(from_windows))

    def check_ids(self, platform, host_output, transcript, with_ticks):
        """The boundary and every Content-ID carry the host's process id, a
        time within the call and (Windows) a tick count within the call."""
        seen = re.search(rb"ids: pid=(\w+) time=(\w+)-(\w+) ticks=(\w+)-(\w+)", host_output)
        ids = re.findall(rb"PART\.(?:CID|BOUNDARY\.MIXED|BOUNDARY\.RELATED)\.(\w+)\.(\w+)\.(\w+)\.\w+", transcript)
        if not self.failures.check(seen is not None and len(ids) >= 3,
                                   "%s: boundaries and Content-IDs found" % platform, repr(host_output)):
            return
        pid, first, last, tick_first, tick_last = (int(value, 16) for value in seen.groups())
        wrong = [triple for triple in ids
                 if int(triple[0], 16) != pid or not first <= int(triple[1], 16) <= last
                 or (with_ticks and not tick_first <= int(triple[2], 16) <= tick_last)]
        self.failures.check(not wrong, "%s: ids carry the process id, the time%s" %
                            (platform, " and the tick count" if with_ticks else ""),
                            "host %s, wrong %r" % (seen.group(0), wrong[:3]))

    def check_delivered_mail(self, raw):
        message = email.message_from_bytes(raw, policy=email.policy.compat32)
        parts = [part for part in message.walk() if not part.is_multipart()]
        by_name = {part.get_filename(): part for part in parts if part.get_filename()}
        text = parts[0].get_payload(decode=True) if parts else b""
        check = self.failures.check
        check(text == b"Hello from the test host.\r\n.A line that begins with a dot.\r\n"
                      b"Caf\xe9, \xfcber, \xa35.\r\nThe end.\r\n",
              "windows: text part arrives with its dotted line and OEM letters as ANSI", repr(text))
        check(by_name.get("report.qnt") is not None
              and by_name["report.qnt"].get_content_type() == "application/x-quillnet-test"
              and by_name["report.qnt"].get_payload(decode=True) == REPORT,
              "windows: attachment with the type registered in Wine's registry decodes intact")
        check(by_name.get("data.bin") is not None and by_name["data.bin"].get_payload(decode=True) == BINARY,
              "windows: binary attachment decodes to the original bytes")
        html = [part for part in parts if part.get_content_type() == "text/html"]
        related = {part.get("Content-ID", "").strip("<>"): part for part in parts if part.get("Content-ID")}
        references = re.findall(rb'src="cid:([^"]+)"', html[0].get_payload(decode=True)) if html else []
        check(len(references) == 2 and len(related) == 1
              and all(reference.decode() in related for reference in references)
              and all(related[r.decode()].get_payload(decode=True) == PICTURE for r in references),
              "windows: both picture references resolve to one related part holding the picture",
              "references %r, related parts %r" % (references, list(related)))

    def case_large(self):
        peer = Peer(self.record_dir("large"), "accept")
        started = time.monotonic()
        run = self.run_windows("large", peer.server, windows_path(self.data))
        seconds = time.monotonic() - started
        peer.finish()
        if not self.host_ran("windows", "large", run):
            return
        message = email.message_from_bytes(message_of(peer.received()), policy=email.policy.compat32)
        self.failures.check(message.get_filename() == "large.bin" and message.get_payload(decode=True) == LARGE,
                            "windows: a %d MiB attachment arrives intact (%.1f s)" % (len(LARGE) >> 20, seconds))

    def case_greeting_error(self):
        text = "554 5.3.2 Test refuses this client"
        for platform, run in (("windows", self.run_windows), ("linux", self.run_linux)):
            peer = Peer(self.record_dir("greeting-" + platform), "greet:" + text)
            result = run("greeting-error", peer.server, text)
            peer.finish()
            self.host_ran(platform, "greeting-error", result)
            self.failures.check(peer.received() == b"",
                                "%s: nothing is sent after an error greeting" % platform,
                                repr(peer.received()[:200]))

    def case_silent(self):
        for platform, run in (("windows", self.run_windows), ("linux", self.run_linux)):
            peer = Peer(self.record_dir("silent-" + platform), "silent")
            result = run("silent", peer.server, "-", extra_env={"QUILLNET_TIMEOUT": "2"})
            peer.finish()
            self.host_ran(platform, "silent", result)

    def case_refused(self):
        port = closed_port()
        log = os.path.join(self.work, "refused-debug.log")
        self.host_ran("windows", "refused", self.run_windows("refused", "127.0.0.1:%d" % port, windows_path(log)))
        self.host_ran("linux", "refused", self.run_linux("refused", "127.0.0.1:%d" % port, log))

    def case_cancel(self):
        for platform, run in (("windows", self.run_windows), ("linux", self.run_linux)):
            folder = os.path.join(self.work, "mailtemp-" + platform)
            shutil.rmtree(folder, ignore_errors=True)
            # A name that is taken, by a folder: the next number must be used.
            os.makedirs(os.path.join(folder, "~mail1"))
            named = windows_path(folder) if platform == "windows" else folder
            peer = Peer(self.record_dir("cancel-" + platform), "accept")
            result = run("cancel", peer.server, named, extra_env={"MAIL_TEMP": named})
            peer.finish()
            self.host_ran(platform, "cancel", result)
            received = peer.received()
            data = received.split(b"DATA\r\n", 1)[1] if b"DATA\r\n" in received else b""
            self.failures.check(
                peer.ending() == "closed in data" and b"\r\n.\r\n" not in data and b"QUIT" not in data,
                "%s: cancel drops the connection inside the data, nothing is delivered" % platform,
                "ending %r, %d data bytes" % (peer.ending(), len(data)))

    def case_debug_file(self):
        missing = os.path.join(self.work, "no-such-folder", "debug.log")
        port = closed_port()
        windows = self.run_windows("debugfile", "127.0.0.1:%d" % port, windows_path(missing))
        self.host_ran("windows", "debugfile", windows)
        shown = b"box: owner=none" in windows.stdout
        print("        message box %s" % ("checked on the display" if shown else "not shown (no display)"))
        linux = self.run_linux("debugfile", "127.0.0.1:%d" % port, missing)
        self.host_ran("linux", "debugfile", linux)
        self.failures.check(b"ERROR!: Error creating debug file" in linux.stderr,
                            "linux: the message box text goes to standard error", repr(linux.stderr))

    def case_registry(self):
        peer = Peer(self.record_dir("registry"), "accept")
        run = self.run_windows("registry", peer.server, windows_path(self.data))
        peer.finish()
        if not self.host_ran("windows", "registry", run):
            return
        received = peer.received()
        expected = [
            b'Content-Type: application/x-quillnet-test\r\nContent-Disposition: attachment; filename="report.qnt"',
            b'Content-Type: text/plain;\r\n\tcharset="us-ascii"\r\nContent-Disposition: attachment; filename="notes.qnp"',
            b'Content-Type: unknown/qnl\r\nContent-Disposition: attachment; filename="long.qnl"',
        ]
        for line in expected:
            self.failures.check(line in received, "windows: registry gives %s" % line.split(b"\r\n")[0].decode())

    def case_command_line(self):
        peer = Peer(self.record_dir("quillnet-send"), "accept")
        run = run_captured([WINE, self.windows_sender, "--host", peer.server, "--from", "tester@example.com",
                            "--to", "Ann Example <ann@example.com>", "--subject", "From the command line",
                            "--message", "Sent by quillnet-send.exe.", "--attach",
                            windows_path(os.path.join(self.data, "data.bin")), "--quiet"],
                           self.env, cwd=self.data)
        peer.finish()
        output = (run.stdout + run.stderr).decode("latin-1").strip()
        if not self.failures.check(run.returncode == 0 and output.endswith("Mail Send OK!"),
                                   "windows: quillnet-send.exe reports the mail sent", output):
            return
        message = email.message_from_bytes(message_of(peer.received()), policy=email.policy.compat32)
        attached = [part.get_payload(decode=True) for part in message.walk() if part.get_filename() == "data.bin"]
        self.failures.check(message["To"] is not None and "ann@example.com" in message["To"] and attached == [BINARY],
                            "windows: quillnet-send.exe delivers the text and the attachment intact",
                            "To %r, %d attachment(s)" % (message["To"], len(attached)))

    # ---- submission over TLS ----

    def case_tls(self):
        """One job per row through the Windows build and the Linux build to
        the same kind of TLS server: result code, reply text and what was
        delivered must agree with the row, and the two builds with each
        other."""
        certs = self.certificates
        hostname_text = "TLS: certificate verify failed: hostname mismatch"
        expired_text = "TLS: certificate verify failed: certificate has expired"
        unknown_ca_text = "TLS: certificate verify failed: unable to get local issuer certificate"
        only_ann, with_refused = "ann@example.com", "ann@example.com,bob@refused.example,carl@example.com"
        # name, scheme (with the host when not localhost), certificate, CA file given, recipients,
        # server options, result, reply text ("" when the host's reply buffer must stay empty)
        rows = [
            ("STARTTLS", "smtp+starttls", certs.localhost, True, only_ann, [], 0, ""),
            ("server reached by address", "smtps 127.0.0.1", certs.localhost, True, only_ann, [], 0, ""),
            ("address not in the certificate", "smtps 127.0.0.1", certs.other_name, True, only_ann, [], 6,
             "TLS: certificate verify failed: IP address mismatch"),
            ("implicit TLS", "smtps", certs.localhost, True, only_ann, [], 0, ""),
            ("AUTH PLAIN the only mechanism", "smtps", certs.localhost, True, only_ann,
             ["--auth-mechanism", "PLAIN"], 0, ""),
            ("a refused recipient", "smtp+starttls", certs.localhost, True, with_refused,
             ["--refuse", "refused.example"], 16, "Refused: <bob@refused.example> 550 5.1.1 No such user here"),
            ("expired certificate", "smtps", certs.expired, True, only_ann, [], 6, expired_text),
            ("expired certificate after STARTTLS", "smtp+starttls", certs.expired, True, only_ann, [], 6,
             expired_text),
            ("certificate for another name", "smtps", certs.other_name, True, only_ann, [], 6, hostname_text),
            ("certificate for another name after STARTTLS", "smtp+starttls", certs.other_name, True, only_ann,
             [], 6, hostname_text),
            ("test CA not named in QUILLNET_TLS_CA_FILE", "smtps", certs.localhost, False, only_ann, [], 6,
             unknown_ca_text),
            ("root sent by the server, not named in QUILLNET_TLS_CA_FILE", "smtps", certs.with_root, False,
             only_ann, [], 6, "TLS: certificate verify failed: self-signed certificate in certificate chain"),
        ]
        for name, scheme_and_host, certificate, with_ca, recipients, options, result, text in rows:
            scheme, *host = scheme_and_host.split()
            delivered = {}
            for platform in ("windows", "linux"):
                peer = CapturePeer(self.record_dir("tls-" + platform), certificate, scheme == "smtps", options)
                if peer.port == 0:
                    self.failures.check(False, "%s: TLS server for '%s' started" % (platform, name),
                                        "needs python3-aiosmtpd")
                    peer.stop()
                    return
                ca_file = certs.ca_file if platform == "linux" else windows_path(certs.ca_file)
                env = {"QUILLNET_TLS_CA_FILE": ca_file if with_ca else ""}
                run = (self.run_windows if platform == "windows" else self.run_linux)(
                    "submit", peer.url(scheme, *host), str(result), recipients, "-", extra_env=env)
                peer.stop()
                messages = peer.messages()
                delivered[platform] = messages
                self.host_ran(platform, "%s (result %d)" % (name, result), run, case="submit")
                reply = re.search(rb"(?m)^result=\d+ reply=([^\r\n]*)", run.stdout)
                reply = reply.group(1).decode("latin-1") if reply else None
                self.failures.check(reply == text, "%s: %s: reply text %r" % (platform, name, text), repr(reply))
                if result == 6:
                    self.failures.check(messages == [], "%s: %s: nothing delivered" % (platform, name),
                                        "%d message(s)" % len(messages))
                    continue
                accepted = [r for r in recipients.split(",") if "@refused." not in r]
                self.failures.check(
                    len(messages) == 1 and messages[0][1][1:] == accepted
                    and b"Hello over TLS.\r\n..A dotted line.\r\n" not in messages[0][0]
                    and b"\r\n.A dotted line.\r\n" in messages[0][0],
                    "%s: %s: delivered once, to %s" % (platform, name, ", ".join(accepted)),
                    repr([(m[1], m[0][-200:]) for m in messages]))
            if result != 6 and len(delivered["windows"]) == 1 and len(delivered["linux"]) == 1:
                windows, linux = (mask_submission(delivered[p][0][0]) for p in ("windows", "linux"))
                self.failures.check(windows == linux and delivered["windows"][0][1] == delivered["linux"][0][1],
                                    "%s: windows and linux submit the same bytes (Date, Message-ID masked)"
                                    % name, diff(windows, linux))

    def case_news_tls(self):
        """An article through both news TLS modes, from both builds: the
        login, the group and the article as the server saw them, and the
        same article bytes from both."""
        ca = {"windows": windows_path(self.certificates.ca_file), "linux": self.certificates.ca_file}
        for scheme, mode in (("nntps", "nntps"), ("nntp+starttls", "starttls")):
            articles = {}
            for platform in ("windows", "linux"):
                peer = NewsPeer(self.record_dir("news-%s-%s" % (mode, platform)), self.certificates.localhost, mode)
                run = (self.run_windows if platform == "windows" else self.run_linux)(
                    "post", peer.url(scheme), "0", "local.test,local.other", "-",
                    extra_env={"QUILLNET_TLS_CA_FILE": ca[platform]})
                peer.finish()
                self.host_ran(platform, "%s: article posted (result 0)" % scheme, run, case="post")
                commands = peer.read("commands").splitlines()
                expected = (["STARTTLS"] if mode == "starttls" else []) + [
                    "AUTHINFO USER ann", "AUTHINFO PASS c0rrect horse", "GROUP local.test", "POST", "QUIT"]
                self.failures.check(commands == expected and peer.read("end") == "quit",
                                    "%s: %s: login, group, post and quit over TLS" % (platform, scheme),
                                    "commands %r, end %r" % (commands, peer.read("end")))
                article = peer.read("article.bin", "rb")
                parsed = email.message_from_bytes(article, policy=email.policy.compat32)
                self.failures.check(parsed["Newsgroups"] == "local.test,local.other"
                                    and b"\r\n..A dotted line.\r\n" in article,
                                    "%s: %s: the article names both groups, its dotted line stuffed"
                                    % (platform, scheme), repr(article[-300:]))
                articles[platform] = mask_submission(article)
            self.failures.check(articles["windows"] == articles["linux"] and articles["linux"] != b"",
                                "%s: windows and linux post the same bytes (Date, Message-ID masked)" % scheme,
                                diff(articles["windows"], articles["linux"]))

    def case_stalled_tls(self):
        """A server that accepts and then never starts the handshake, from
        the first byte or after agreeing to STARTTLS: the call must give up
        within the library's time-out with 6, and say the same as Linux."""
        timeout = 3
        rows = [
            ("smtps", lambda record: Peer(record, "silent")),
            ("smtp+starttls", lambda record: Peer(record, "stall-starttls")),
            ("nntps", lambda record: Peer(record, "silent")),
            ("nntp+starttls", lambda record: NewsPeer(record, self.certificates.localhost, "stall-starttls")),
        ]
        for scheme, start in rows:
            replies = {}
            for platform in ("windows", "linux"):
                peer = start(self.record_dir("stall-%s-%s" % (scheme.replace("+", "-"), platform)))
                url = "%s://localhost:%d" % (scheme, peer.port)
                run = (self.run_windows if platform == "windows" else self.run_linux)(
                    "post" if scheme.startswith("nntp") else "submit", url, "6", "local.test", "-",
                    extra_env={"QUILLNET_TIMEOUT": str(timeout), "QUILLNET_TLS_CA_FILE": ""})
                peer.finish()
                found = re.search(rb"(?m)^result=(\d+) reply=([^\r\n]*)\r?\nseconds=(\d+)", run.stdout)
                result, reply, seconds = (int(found.group(1)), found.group(2).decode("latin-1"),
                                          int(found.group(3))) if found else (None, None, None)
                replies[platform] = reply
                # Two seconds of slack: the clock counts whole seconds, and the
                # greeting and STARTTLS come before the handshake's own wait.
                self.failures.check(run.returncode == 0 and result == 6 and seconds <= timeout + 2,
                                    "%s: %s: a stalled handshake ends with 6 within the %d s time-out (%s s)"
                                    % (platform, scheme, timeout, seconds),
                                    "%s\n%s" % (exit_note(run), (run.stdout + run.stderr).decode("latin-1").strip()))
            self.failures.check(replies["windows"] == replies["linux"] and bool(replies["linux"]),
                                "%s: stalled handshake: windows says what linux says (%r)" % (scheme, replies["linux"]),
                                "windows %r" % replies["windows"])

    def case_huge_over_tls(self):
        """A 100 MiB attachment through STARTTLS arrives whole: the server's
        copy decodes to the same hash."""
        huge = os.path.join(self.data, "huge.bin")
        with open(huge, "wb") as out:
            out.write(random.Random(100).randbytes(HUGE_BYTES))
        with open(huge, "rb") as original:
            expected = hashlib.sha256(original.read()).hexdigest()
        peer = CapturePeer(self.record_dir("tls-huge"), self.certificates.localhost, False)
        started = time.monotonic()
        run = run_captured([WINE, self.windows_host, "submit", peer.url("smtp+starttls"), "0", "ann@example.com",
                            windows_path(huge)],
                           dict(self.env, QUILLNET_TLS_CA_FILE=windows_path(self.certificates.ca_file)),
                           cwd=self.data, seconds=HUGE_RUN_SECONDS)
        seconds = time.monotonic() - started
        peer.stop()
        os.remove(huge)
        if not self.host_ran("windows", "100 MiB over STARTTLS", run, case="submit"):
            return
        messages = peer.messages()
        parts = []
        if len(messages) == 1:
            message = email.message_from_bytes(messages[0][0], policy=email.policy.compat32)
            parts = [part for part in message.walk() if part.get_filename() == "huge.bin"]
        got = hashlib.sha256(parts[0].get_payload(decode=True)).hexdigest() if len(parts) == 1 else None
        self.failures.check(got == expected, "windows: a 100 MiB attachment over STARTTLS arrives intact "
                            "(sha256 checked at the server; %.1f s)" % seconds,
                            "%d message(s), %d part(s), sha256 %s" % (len(messages), len(parts), got))

    ALL_CASES = ("layout", "unit_tests", "mail", "large", "greeting_error", "silent", "refused", "cancel",
                 "debug_file", "registry", "command_line", "tls", "news_tls", "stalled_tls",
                 "huge_over_tls")

    def run(self):
        shutil.rmtree(os.path.join(self.work, "records"), ignore_errors=True)
        self.write_data()
        self.certificates = TestCertificates(os.path.join(self.work, "certificates")).make()
        # The server is started persistent: a start-up that fails half-way
        # (wineboot refused, a registry write failing) must still stop it.
        try:
            self.start_wine()
            for name in self.cases:
                getattr(self, "case_" + name)()
        finally:
            self.stop_wine()
        print("%d check(s) failed" % self.failures.count if self.failures.count else "all checks passed")
        return self.failures.count


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--windows-build", required=True)
    parser.add_argument("--linux-host", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--case", action="append", choices=Runner.ALL_CASES,
                        help="run only this case (repeatable); all by default")
    return Runner(parser.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
