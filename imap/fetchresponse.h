#pragma once

#include "imap/bodystructure.h"
#include "imap/imapcommand.h"
#include "imap/imapresponse.h"
#include "imap/responsereader.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <optional>

// What the answers to one FETCH of a message brought: the whole message, or the parts asked for.
struct FetchedMessage {
    std::optional<QByteArray> body;         // BODY[]
    QHash<QByteArray, QByteArray> sections; // BODY[HEADER], BODY[1.MIME], BODY[1] ... by section
    QDateTime internalDate;

    bool arrived() const { return body || !sections.isEmpty(); }
    qint64 bytes() const;
};

// The FETCH of one message as planned, by sequence number or by UID; it never sets \Seen.
ImapCommand FetchMessageCommand(int number, bool byUid, const ReadingPlan &plan = WholeMessage());
// The FETCH of the size and structure of the messages first..last.
ImapCommand FetchOutlinesCommand(int first, int last);

// Takes an untagged answer into `into` when it is a FETCH for `number` (a sequence number, or a
// UID when byUid) carrying the message or its parts; other answers leave it alone. False: a FETCH
// answer that is not well formed.
bool ReadFetchResponse(const ImapResponse &response, int number, bool byUid, FetchedMessage &into);
// Takes the plan for a message of first..last from an answer carrying its outline.
bool ReadOutlineResponse(const ImapResponse &response, int first, int last, QHash<int, ReadingPlan> &into);

// How much of the answer arriving now for that FETCH is in, in percent of the bytes expected (of
// its literal when expected is 0); nullopt while the answer arriving is another one, or has no
// literal under way.
std::optional<int> FetchPercent(const ResponseReader &reader, int number, bool byUid, qint64 expected);
