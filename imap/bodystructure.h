#pragma once

#include "imap/imapvalue.h"

#include <QByteArray>
#include <QList>

// One MIME entity of a message as the server's BODYSTRUCTURE describes it.
struct OutlineEntity {
    enum class Kind { Multipart, Message, Leaf };
    QByteArray section; // "1", "2.1" ...; empty for the message itself
    Kind kind = Kind::Leaf;
    QByteArray boundary; // of a multipart
};

// How to read one message: whole, or its parts that the listing needs. The server's outline
// chooses the bodies by the reader's rules; the reader checks that choice against the headers
// that come with the parts (see ReadFetchedEmail).
struct ReadingPlan {
    bool whole = true;
    qint64 bytes = 0; // the answer's expected size, for the read-ahead bound and progress
    // Parts only: the message's own entities, depth first, enclosed messages not entered.
    QList<OutlineEntity> entities;
    QByteArray plain; // the sections of the bodies; empty when the message has none
    QByteArray html;

    QByteArray items() const; // what the FETCH asks for
};

// The plan for a message of `size` bytes with this BODYSTRUCTURE value. Whole when the parts
// would save nothing, when the outline cannot be read, or when the text to show is that of an
// enclosed message (a choice the reader makes on the whole of it).
ReadingPlan PlanReading(const ImapValue &bodystructure, qint64 size);
// A message read whole; size 0: not known.
ReadingPlan WholeMessage(qint64 size = 0);
