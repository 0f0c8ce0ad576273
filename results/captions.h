#pragma once

#include <QList>
#include <QString>

// The captions by which the main window's buttons tell the state of its commands, and the
// widths in twips that several of its parts share.

inline const QString SignedOutCaption = QStringLiteral("1. Connect");
inline const QString SignedInCaption = QStringLiteral("Disconnect");
inline const QString GetAllCaption = QStringLiteral("2a. Get All Emails");
inline const QString GetSomeCaption = QStringLiteral("2b. Get Some Emails");
inline const QString StopCaption = QStringLiteral("Stop");                // either retrieval button during a run
inline const QString ProgressBarCaption = QStringLiteral("Progress Bar"); // the status line at rest

// The main list's columns: From, From Name, From Address, Subject, Received Date, the hidden RecDate.
inline const QList<int> MainListColumnTwips = {1300, 1300, 1600, 1600, 1600, 0};
