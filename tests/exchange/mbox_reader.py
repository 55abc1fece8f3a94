# Reads an mbox with Python's mailbox module and prints, per message, its subject, sender,
# date and body as JSON. ">From " lines lose one ">" (mboxrd), which mailbox leaves to us.
import email
import email.policy
import json
import mailbox
import re
import sys

out = []
for message in mailbox.mbox(sys.argv[1], create=False):
    parsed = email.message_from_bytes(message.as_bytes(), policy=email.policy.default)
    body = parsed.get_content().replace("\r\n", "\n")
    body = re.sub(r"(?m)^>(>*From )", r"\1", body)
    out.append({
        "subject": str(parsed["subject"] or ""),
        "from": str(parsed["from"] or ""),
        "to": str(parsed["to"] or ""),
        "date": (message["date"] or "").strip(),
        "id": str(parsed["message-id"] or ""),
        "body": body,
    })
json.dump(out, sys.stdout, ensure_ascii=True)
