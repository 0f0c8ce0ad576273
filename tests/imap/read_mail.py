#!/usr/bin/python3
"""An independent reading of mail files, with Python's email package: prints one JSON object per
file (by path) with the sender's name and address, the subject, the date (seconds since the epoch,
null when there is none) and the first plain-text and HTML bodies that are not attachments, taken
from the first enclosed message when the message has no text of its own."""
import datetime
import email
import email.policy
import json
import sys


def text_of(part):
    if part is None:
        return ""
    payload = part.get_payload(decode=True) or b""
    charset = part.get_content_charset() or "us-ascii"
    try:
        text = payload.decode(charset, errors="replace")
    except LookupError:
        text = payload.decode("utf-8", errors="replace")
    return text.replace("\r\n", "\n").replace("\r", "\n")


def enclosed_messages(message):
    for part in message.walk():
        if part is not message and part.get_content_type() == "message/rfc822":
            inner = part.get_payload()
            if isinstance(inner, list) and inner:
                yield inner[0]


def bodies(message, depth=0):
    plain = message.get_body(("plain",))
    html = message.get_body(("html",))
    if plain is None and html is None and depth < 8:
        for inner in enclosed_messages(message):
            return bodies(inner, depth + 1)
    return text_of(plain), text_of(html)


def sender(message):
    try:
        addresses = message["from"].addresses if message["from"] is not None else ()
    except Exception:  # an unparsable From header
        addresses = ()
    if not addresses:
        return "", ""
    return str(addresses[0].display_name), addresses[0].addr_spec


def date(message):
    try:
        value = message["date"].datetime if message["date"] is not None else None
    except Exception:
        value = None
    if value is not None and value.tzinfo is None:
        value = value.replace(tzinfo=datetime.timezone.utc)  # "-0000" or no zone: UTC (RFC 5322 3.3)
    return value.timestamp() if value is not None else None


def read(path):
    with open(path, "rb") as file:
        message = email.message_from_binary_file(file, policy=email.policy.default)
    name, address = sender(message)
    plain, html = bodies(message)
    subject = message["subject"]
    return {"fromName": name, "fromAddress": address, "subject": str(subject) if subject is not None else "",
            "date": date(message), "plain": plain, "html": html}


json.dump({path: read(path) for path in sys.argv[1:]}, sys.stdout)
