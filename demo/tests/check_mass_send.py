#!/usr/bin/python3
"""Checks what a mass send left at the capture server.

Usage: check_mass_send.py INBOX PERSONS ATTACHMENT PICTURE
Every address pNNNN@example.org (NNNN from 1 to PERSONS) must appear in the
envelopes exactly once and in no To header; every message must carry the
attachment byte for byte and the HTML with the picture as a related part
whose Content-ID the HTML names. Prints what is wrong and exits 1, else
prints a summary and exits 0.
"""
import email
import email.policy
import glob
import os
import sys


def main():
    inbox, persons, attachment, picture = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    with open(attachment, "rb") as f:
        attachment_bytes = f.read()
    with open(picture, "rb") as f:
        picture_bytes = f.read()
    problems = []
    reached = {}
    messages = sorted(glob.glob(os.path.join(inbox, "*.eml")))
    for path in messages:
        with open(path[:-4] + ".envelope") as f:
            for rcpt in f.read().split("\n")[1:]:
                if rcpt:
                    reached[rcpt.lower()] = reached.get(rcpt.lower(), 0) + 1
        with open(path, "rb") as f:
            msg = email.message_from_binary_file(f, policy=email.policy.default)
        to = str(msg.get("To", ""))
        if "@" in to:
            problems.append("%s: addresses in To: %s" % (path, to[:80]))
        html, cids, attached = None, {}, None
        for part in msg.walk():
            if part.get_content_type() == "text/html":
                html = part.get_content()
            elif part.get("Content-ID"):
                cids[part["Content-ID"].strip("<>")] = part.get_payload(decode=True)
            elif part.get_filename() == os.path.basename(attachment):
                attached = part.get_payload(decode=True)
        if attached != attachment_bytes:
            problems.append("%s: attachment missing or changed" % path)
        if html is None:
            problems.append("%s: no HTML part" % path)
        else:
            named = [cid for cid in cids if ("cid:" + cid) in html]
            if not named or cids[named[0]] != picture_bytes:
                problems.append("%s: picture not related by its Content-ID" % path)
    for n in range(1, persons + 1):
        address = "p%04d@example.org" % n
        if reached.get(address, 0) != 1:
            problems.append("%s reached %d times" % (address, reached.get(address, 0)))
    extra = set(reached) - {"p%04d@example.org" % n for n in range(1, persons + 1)}
    if extra:
        problems.append("unexpected recipients: %s" % sorted(extra)[:5])
    if problems:
        print("\n".join(problems[:20]))
        return 1
    print("%d messages, %d persons reached once each" % (len(messages), persons))
    return 0


if __name__ == "__main__":
    sys.exit(main())
