#pragma once

#include "imap/responsereader.h"

#include <QByteArray>
#include <QList>
#include <optional>

// A token of a server response: atom, string (quoted or literal), NIL or parenthesized list.
struct ImapValue {
    enum class Kind { Atom, String, Nil, List };
    Kind kind = Kind::Atom;
    QByteArray text;        // atom or string
    QList<ImapValue> items; // list

    bool isAtom(const char *name) const; // case-insensitive
    bool isText() const { return kind == Kind::Atom || kind == Kind::String; }
};

// The tokens of a whole response; nullopt when it is not well formed.
std::optional<QList<ImapValue>> ParseResponseValues(const ImapResponse &response);
