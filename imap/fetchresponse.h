#pragma once

#include "imap/responsereader.h"

#include <QByteArray>
#include <QDateTime>
#include <optional>

// What the answers to one FETCH (BODY.PEEK[] INTERNALDATE) brought for the message asked for.
struct FetchedMessage {
    std::optional<QByteArray> body;
    QDateTime internalDate;
};

// Takes an untagged answer into `into` when it is a FETCH for `number` (a sequence number, or a
// UID when byUid) carrying the message; other answers leave it alone. False: a FETCH answer that is
// not well formed.
bool ReadFetchResponse(const ImapResponse &response, int number, bool byUid, FetchedMessage &into);
