#pragma once

#include "imap/imapcommand.h"
#include "imap/imapresponse.h"
#include "imap/responsereader.h"

#include <QByteArray>
#include <QDateTime>
#include <optional>

// What the answers to one FETCH (BODY.PEEK[] INTERNALDATE) brought for the message asked for.
struct FetchedMessage {
    std::optional<QByteArray> body;
    QDateTime internalDate;
};

// The FETCH of one whole message, by sequence number or by UID; it never sets \Seen.
ImapCommand FetchMessageCommand(int number, bool byUid);

// Takes an untagged answer into `into` when it is a FETCH for `number` (a sequence number, or a
// UID when byUid) carrying the message; other answers leave it alone. False: a FETCH answer that is
// not well formed.
bool ReadFetchResponse(const ImapResponse &response, int number, bool byUid, FetchedMessage &into);

// How much of the message arriving now for that FETCH is in, in percent; nullopt while the
// answer arriving is another one, or has no literal under way.
std::optional<int> FetchPercent(const ResponseReader &reader, int number, bool byUid);
