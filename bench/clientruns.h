#pragma once

#include <QString>

// Where a reading client signs in: the delay proxy's port on "localhost".
struct ReadTarget {
    int port = 0;
    QString user;
    QString password;
    QString folder;
    QString caFile; // the CA of the server's certificate
};

// One client's read of the whole folder, each run in a process of its own.
struct RunFigures {
    bool ok = false;
    QString error;
    double seconds = 0;
    int messages = 0;
    // Ours only: memory of the reading process and what its MailStore keeps.
    qint64 startRssKb = 0;
    qint64 peakRssKb = 0;
    qint64 textsChars = 0;
    qint64 errorLogBytes = 0;
};

// Our reader: this program again, in its --ours mode (see ourreader.h).
RunFigures RunOurs(const QString &self, const ReadTarget &target);
// Python imaplib, one FETCH per message and a parse with the email package.
RunFigures RunPython(const ReadTarget &target);
// mbsync pulling the folder into a new maildir; counts the files it wrote.
RunFigures RunMbsync(const ReadTarget &target);
