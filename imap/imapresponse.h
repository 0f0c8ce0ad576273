#pragma once

#include <QByteArray>
#include <QList>

// One server response: a line, or a line continued after each literal it announces. The reader
// also takes its head apart once, so that callers match a parsed number and keyword, not text:
// "* 12 FETCH (...)" has number 12 and keyword "FETCH", "* BYE ..." keyword "BYE", and a status
// response such as "A3 NO ..." or "* OK ..." the status as keyword.
struct ImapResponse {
    QList<QByteArray> lines;    // without CRLF; each but the last ends with a literal announcement {n}
    QList<QByteArray> literals; // literals[i] follows lines[i]
    qint64 number = -1;         // the untagged number (0 to 4294967295), -1 when there is none
    QByteArray keyword;         // upper case; empty for a continuation request

    void readHead(); // sets number and keyword from the first line

    QByteArray raw() const;           // as received, CRLF between the pieces
    QByteArray word(int index) const; // index-th blank-separated word of the first line
    QByteArray tag() const;           // "*", "+" or a command's tag
    bool isUntagged() const { return tag() == "*"; }
    bool isContinuation() const { return tag() == "+"; }
};

// An IMAP number: digits only, at most 32 bits; -1 otherwise.
qint64 ImapNumber(const QByteArray &word);
