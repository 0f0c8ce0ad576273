#pragma once

// Why the client's last call failed, as far as it can tell.
enum class ImapFailure {
    None,                 // the call succeeded
    Refused,              // the server answered NO or BAD: a refused login, an unknown mailbox, ...
    CertificateExpired,
    CertificateUntrusted, // self-signed, or from an issuer nobody here trusts
    CertificateWrongHost, // made out for another host name
    CertificateInvalid,   // any other fault of the server's certificate
    TlsHandshake,         // the secure connection could not be set up (plain TCP on a TLS port, ...)
    ConnectionRefused,    // nothing listens on the port, or the server's greeting turned us away
    HostNotFound,
    TimedOut,             // the server fell silent for longer than the limit
    ConnectionLost,       // closed, reset, BYE or TLS close
    ProtocolError,        // an answer that breaks the protocol
    NotConnected,
    Aborted,              // given up at the caller's request, or by a later call
    FolderChanged,        // the mailbox changed while the connection was down: not resumed
    Other,                // the call itself could not be made (no host name, an invalid number, ...)
};
