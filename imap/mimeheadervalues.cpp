#include "imap/mimeentity.h"

#include <QRegularExpression>

// The sender, subject and date of a message, as the listing shows them.

namespace {

QString utf8Text(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

InternetAddressMailbox *firstMailbox(InternetAddressList *list)
{
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            return INTERNET_ADDRESS_MAILBOX(address);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            InternetAddressList *members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address));
            if (InternetAddressMailbox *mailbox = firstMailbox(members))
                return mailbox;
        }
    }
    return nullptr;
}

QString unquoted(const QString &text)
{
    if (text.size() < 2 || !text.startsWith(u'"') || !text.endsWith(u'"'))
        return text;
    static const QRegularExpression escaped(QStringLiteral("\\\\(.)"));
    return text.mid(1, text.size() - 2).replace(escaped, QStringLiteral("\\1"));
}

// A From field that is no address list ("MAILER DAEMON <>", "John Smith", "<>") keeps its text;
// the name stands before an address in angle brackets, and a lone word with an "@" is an address.
void readUnparsedSender(const QString &text, Email &email)
{
    email.From = text.trimmed();
    const qsizetype open = email.From.lastIndexOf(u'<');
    const qsizetype close = open < 0 ? -1 : email.From.indexOf(u'>', open);
    if (close > open) {
        email.FromName = unquoted(email.From.first(open).trimmed());
        email.FromAddress = email.From.mid(open + 1, close - open - 1).trimmed();
    } else if (email.From.contains(u'@') && !email.From.contains(u' ')) {
        email.FromAddress = email.From;
    } else {
        email.FromName = unquoted(email.From);
    }
}

void readSender(GMimeMessage *message, Email &email)
{
    InternetAddressList *from = g_mime_message_get_from(message);
    InternetAddressMailbox *mailbox = firstMailbox(from);
    const char *address = mailbox ? internet_address_mailbox_get_addr(mailbox) : nullptr;
    if (!address || !*address) {
        readUnparsedSender(utf8Text(g_mime_object_get_header(GMIME_OBJECT(message), "From")), email);
        return;
    }
    // No encoding: the display form a user reads, e.g. "Ann Example <ann@example.org>".
    if (char *display = internet_address_list_to_string(from, nullptr, FALSE)) {
        email.From = QString::fromUtf8(display);
        g_free(display);
    }
    email.FromName = utf8Text(internet_address_get_name(INTERNET_ADDRESS(mailbox)));
    email.FromAddress = utf8Text(address);
}

} // namespace

void ReadHeaderValues(GMimeMessage *message, Email &email)
{
    readSender(message, email);
    email.Subject = utf8Text(g_mime_message_get_subject(message));
    if (GDateTime *date = g_mime_message_get_date(message))
        email.Date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date));
}
