# Reads one message from standard input with Python's email package and prints, as JSON, the
# names and addresses of its address fields, its subject and its attachments' file names:
# what a strict reader makes of the headers we fold.
#
# Names are decoded with email.header, which follows RFC 2047 6.2 (the blank between two
# encoded-words is not part of the text); the newer email.policy parser keeps that blank
# inside a display name.
import email
import email.header
import email.policy
import email.utils
import json
import sys


def unfolded(value):
    return value.replace("\r\n", "").replace("\n", "")


def decoded(value):
    return str(email.header.make_header(email.header.decode_header(value)))


message = email.message_from_bytes(sys.stdin.buffer.read(), policy=email.policy.compat32)
out = {"subject": decoded(unfolded(message["subject"] or "")), "filenames": []}
for field in ("from", "to", "cc", "reply-to"):
    values = [unfolded(value) for value in message.get_all(field, [])]
    out[field] = [[decoded(name), address] for name, address in email.utils.getaddresses(values)]
for part in message.walk():
    if part.get_content_disposition() == "attachment":
        out["filenames"].append(part.get_filename() or "")
json.dump(out, sys.stdout, ensure_ascii=True)
