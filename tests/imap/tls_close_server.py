"""An IMAP server over TLS that greets, takes one command and then ends TLS with close_notify while
it keeps the TCP connection open, until the client leaves. Qt's own server sockets cannot close
TLS alone. Prints its port. Arguments: certificate file, key file."""
import select
import socket
import ssl
import sys

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
with socket.create_server(('127.0.0.1', 0)) as listener:
    print(listener.getsockname()[1], flush=True)
    connection, _ = listener.accept()
    tls = context.wrap_socket(connection, server_side=True)
    tls.sendall(b'* OK [CAPABILITY IMAP4rev1] ready\r\n')
    line = b''
    while not line.endswith(b'\n'):
        byte = tls.recv(1)
        if not byte:
            sys.exit(0)
        line += byte
    tls.settimeout(1)
    try:
        tls.unwrap()  # sends close_notify; the client owes no answer
    except (OSError, ssl.SSLError):
        pass
    select.select([tls], [], [], 60)
