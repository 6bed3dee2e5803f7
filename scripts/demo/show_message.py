#!/usr/bin/python3
"""Shows what a delivered message holds: its envelope, header and parts."""
import email
import email.policy
import re
import sys


def describe(part, depth, content_ids):
    indent = "    " * depth
    line = indent + part.get_content_type()
    if part.is_multipart():
        print(line)
        for child in part.get_payload():
            describe(child, depth + 1, content_ids)
        return
    body = part.get_payload(decode=True) or b""
    details = ["%d bytes" % len(body)]
    if part.get_filename():
        details.append("file " + part.get_filename())
    if part.get("Content-ID"):
        details.append("Content-ID " + part.get("Content-ID"))
    if part.get("Content-Transfer-Encoding"):
        details.append(part.get("Content-Transfer-Encoding"))
    print(line + "  (" + ", ".join(details) + ")")
    if part.get_content_type() == "text/html":
        for reference in re.findall(r'cid:([^"\'\s>]+)', body.decode("latin-1")):
            state = "found" if reference in content_ids else "MISSING"
            print(indent + "    refers to cid:%s -> %s" % (reference, state))
    elif part.get_content_maintype() == "text":
        for text_line in body.decode("latin-1").splitlines()[:12]:
            print(indent + "    | " + text_line)


def main():
    eml, envelope = sys.argv[1], sys.argv[2]
    with open(envelope) as source:
        lines = source.read().split()
    print("Envelope: from %s to %s" % (lines[0], ", ".join(lines[1:])))
    with open(eml, "rb") as source:
        message = email.message_from_binary_file(source, policy=email.policy.compat32)
    print("Header:")
    for name in ("From", "To", "Subject", "Date", "X-Priority", "X-Mailer", "MIME-Version"):
        if message.get(name):
            print("    %s: %s" % (name, " ".join(message.get(name).split())))
    content_ids = {part.get("Content-ID", "").strip("<> ") for part in message.walk()}
    print("Parts:")
    describe(message, 1, content_ids)


if __name__ == "__main__":
    main()
