#pragma once

#include "tests/common/fakeimapserver.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Script lines of a scripted server as the retrieval commands meet it.

// The greeting, then the ID command and LOGIN answered as a real server does.
inline QString FakeSignIn()
{
    return QStringLiteral("S: * OK [CAPABILITY IMAP4rev1] fake ready\n"
                          "C: * ID *\nS: * ID NIL\nS: $TAG OK ID completed\n"
                          "C: * LOGIN *\nS: $TAG OK Logged in\n");
}

inline QString FakeListInbox()
{
    return QStringLiteral("C: * LIST *\nS: * LIST () \"/\" INBOX\nS: $TAG OK List completed\n");
}

inline QString FakeSelect(int exists)
{
    return QStringLiteral("C: * SELECT *\nS: * %1 EXISTS\nS: $TAG OK [READ-WRITE] Select completed\n").arg(exists);
}

// The client's FETCH of the outlines (size and structure) of the messages from `first` on,
// answered for these one-part plain-text messages: each is then read whole.
inline QString FakeOutlines(int first, const QList<QByteArray> &messages)
{
    const qsizetype last = first + messages.size() - 1;
    QString script = QStringLiteral("C: * FETCH %1:%2 (RFC822.SIZE BODYSTRUCTURE)\n").arg(first).arg(last);
    for (qsizetype i = 0; i < messages.size(); ++i)
        script += QStringLiteral("S: * %1 FETCH (RFC822.SIZE %2 BODYSTRUCTURE (\"TEXT\" \"PLAIN\" NIL NIL NIL \"7BIT\" %2 1))\n")
                      .arg(first + i)
                      .arg(messages[i].size());
    return script + QStringLiteral("S: $TAG OK Fetch completed\n");
}

// The client's FETCH of `number`, answered with the message and the tagged OK.
inline QString FakeFetchAnswer(int number, const QByteArray &message)
{
    return QStringLiteral("C: * FETCH %1 (BODY.PEEK[] INTERNALDATE)\n"
                          "RAW * %1 FETCH (BODY[] {%2}\\r\\n%3)\\r\\n\n"
                          "S: $TAG OK Fetch completed\n")
        .arg(number)
        .arg(message.size())
        .arg(FakeImapServer::escaped(message));
}
