#!/usr/bin/python3
"""Parses a delivered message with Python's email package and describes it.

Usage: check_message.py MESSAGE.eml OUTPUT_FOLDER

Writes the decoded body of every leaf part to OUTPUT_FOLDER/part-<n> and
prints one line per finding, for a test to read:
  defects <count>
  part <n> <content-type> <filename or -> <content-id or -> <path of decoded body>
  ref <cid> resolved|missing        (each cid: reference of an HTML part)
"""
import email
import email.policy
import os
import re
import sys


def main():
    path, out_folder = sys.argv[1], sys.argv[2]
    os.makedirs(out_folder, exist_ok=True)
    with open(path, "rb") as source:
        message = email.message_from_binary_file(source, policy=email.policy.compat32)

    defects = sum(len(part.defects) for part in message.walk())
    print("defects %d" % defects)

    content_ids = set()
    html_texts = []
    for number, part in enumerate(p for p in message.walk() if not p.is_multipart()):
        body = part.get_payload(decode=True) or b""
        target = os.path.join(out_folder, "part-%d" % number)
        with open(target, "wb") as out:
            out.write(body)
        content_id = (part.get("Content-ID") or "").strip()
        if content_id.startswith("<") and content_id.endswith(">"):
            content_id = content_id[1:-1]
        if content_id:
            content_ids.add(content_id)
        if part.get_content_type() == "text/html":
            html_texts.append(body.decode("latin-1"))
        print("part %d %s %s %s %s" % (number, part.get_content_type(), part.get_filename() or "-",
                                       content_id or "-", target))

    for text in html_texts:
        for reference in re.findall(r'cid:([^"\'\s>]+)', text):
            print("ref %s %s" % (reference, "resolved" if reference in content_ids else "missing"))


if __name__ == "__main__":
    main()
