#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One command to send: its words, strings quoted or sent as literals as their bytes need.
class ImapCommand {
public:
    explicit ImapCommand(const QByteArray &name);

    ImapCommand &atom(const QByteArray &text);
    // secret: shown masked in the text for the last-error report
    ImapCommand &string(const QByteArray &value, bool secret = false);

    // The pieces to send: the first at once, each later one after the server's continuation.
    QList<QByteArray> chunks(const QByteArray &tag) const;
    // The command as the last-error report shows it, secrets masked.
    QByteArray shown(const QByteArray &tag) const;

private:
    enum class Kind { Atom, Quoted, Literal };
    struct Part {
        Kind kind;
        QByteArray text;
        bool secret;
    };
    QList<Part> m_parts;
};

// The text lastErrorText() gives after a call: what was sent, as shown(), then the server's answer
// or the reason there was none.
QString LastErrorText(const QString &shown, const QString &outcome);
