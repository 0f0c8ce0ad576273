#!/usr/bin/python3
"""The one-request-per-round-trip peer of the reading bench: Python's imaplib over TLS, one
FETCH n (BODY.PEEK[] INTERNALDATE) per message, waiting for each answer, then a parse with the
email package (both text bodies taken out, as our reader does).

Usage: imaplib_peer.py PORT USER PASSWORD FOLDER CAFILE
Prints: RESULT seconds=S messages=N"""
import email
import email.policy
import imaplib
import ssl
import sys
import time


def text_of(message, kind):
    part = message.get_body(preferencelist=(kind,))
    return part.get_content() if part is not None else ""


def main(port, user, password, folder, cafile):
    start = time.monotonic()
    context = ssl.create_default_context(cafile=cafile)
    connection = imaplib.IMAP4_SSL("localhost", int(port), ssl_context=context)
    connection.login(user, password)
    status, data = connection.select(folder, readonly=True)
    if status != "OK":
        sys.exit("cannot select " + folder)
    read = 0
    for number in range(1, int(data[0]) + 1):
        status, data = connection.fetch(str(number), "(BODY.PEEK[] INTERNALDATE)")
        if status != "OK" or not data or not isinstance(data[0], tuple):
            continue
        message = email.message_from_bytes(data[0][1], policy=email.policy.default)
        text_of(message, "plain")
        text_of(message, "html")
        read += 1
    seconds = time.monotonic() - start
    connection.logout()
    print(f"RESULT seconds={seconds:.3f} messages={read}")


if __name__ == "__main__":
    main(*sys.argv[1:6])
