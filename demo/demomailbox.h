#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// A demo mailbox of a few hundred varied messages, made in code and the same on every run:
// senders with and without display names, encoded subjects, Latin-1 and UTF-8 bodies, HTML-only,
// plain-only and alternative messages, long letters, dates over several years.
struct DemoMessage {
    QString fromName; // empty: the From field is the bare address
    QString fromAddress;
    QString subject;
    QDateTime date;
    QString plainBody; // empty for an HTML-only message
    QString htmlBody;  // empty for a plain-only message
    QByteArray raw;    // the message as it goes into the mailbox (LF line ends)
};

struct DemoFolder {
    QString name; // full name, "/" between levels
    QList<DemoMessage> messages;
};

QList<DemoFolder> MakeDemoMailbox();
