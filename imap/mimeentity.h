#pragma once

// GMime first: its gio headers have a member named "signals", which clashes with Qt's keywords.
#include <gmime/gmime.h>

#include "imap/email.h"

#include <QByteArray>
#include <QString>
#include <memory>

// The reader's view of single MIME entities, shared by the reading of whole messages and of
// messages fetched part by part, so that both follow one set of rules.

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// A message as GMime reads it with the reader's options; null when nothing could be read.
GObjectPtr<GMimeMessage> ParseMimeMessage(const QByteArray &bytes);
// One part, its own header first (as inside a multipart).
GObjectPtr<GMimeObject> ParseMimePart(const QByteArray &bytes);

// What a part can be to the listing. Only a disposition of "attachment" makes a part an
// attachment: inline text often carries a file name too.
enum class BodyRole { None, Plain, Html };
BodyRole RoleOf(GMimeObject *object);

// The decoded text of a part, with plain line ends; empty for none.
QString BodyText(GMimePart *part);

// From, its name and address, Subject and Date (when the message has a readable one); in
// mimeheadervalues.cpp.
void ReadHeaderValues(GMimeMessage *message, Email &email);
