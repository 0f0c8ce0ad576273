#include "imap/listresponse.h"

#include "imap/imapvalue.h"
#include "imap/mutf7.h"

#include <QStringDecoder>

bool ReadListResponse(const ImapResponse &response, QList<QByteArray> &names)
{
    // * LIST (flags) delimiter name
    if (response.keyword != "LIST" || response.number >= 0)
        return true;
    const auto values = ParseResponseValues(response);
    if (!values || values->size() != 5 || values->at(2).kind != ImapValue::Kind::List || !values->at(4).isText())
        return false;
    names.append(values->at(4).text);
    return true;
}

ListedNames::ListedNames(const QList<QByteArray> &listed)
{
    for (const QByteArray &name : listed) {
        const auto decoded = DecodeMailboxName(name);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString shown = decoded ? *decoded : utf8.decode(name);
        // Not UTF-8: one character per byte, so no two names look alike and none loses a byte.
        if (!decoded && utf8.hasError())
            shown = QString::fromLatin1(name);
        if (EncodeMailboxName(shown) != name)
            m_listed.insert(shown, name);
        m_shown.append(shown);
    }
}

QByteArray ListedNames::toSend(const QString &shown) const
{
    return m_listed.value(shown, EncodeMailboxName(shown));
}
