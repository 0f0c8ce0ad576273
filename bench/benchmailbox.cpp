#include "bench/benchmailbox.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <random>

namespace {

const QStringList Words = {
    QStringLiteral("invoice"),  QStringLiteral("meeting"),   QStringLiteral("quarterly"), QStringLiteral("report"),
    QStringLiteral("the"),      QStringLiteral("and"),       QStringLiteral("of"),        QStringLiteral("shipment"),
    QStringLiteral("schedule"), QStringLiteral("please"),    QStringLiteral("review"),    QStringLiteral("attached"),
    QStringLiteral("numbers"),  QStringLiteral("café"),      QStringLiteral("Grüße"),     QStringLiteral("Übersicht"),
    QStringLiteral("naïve"),    QStringLiteral("déjà"),      QStringLiteral("señor"),     QStringLiteral("for"),
    QStringLiteral("budget"),   QStringLiteral("project"),   QStringLiteral("to"),        QStringLiteral("with"),
    QStringLiteral("customer"), QStringLiteral("delivery"),  QStringLiteral("Straße"),    QStringLiteral("année"),
};

enum class Kind { PlainUtf8, PlainLatin1, HtmlOnly, Alternative, WithAttachment };

Kind kindOf(int index)
{
    switch (index % 10) {
    case 4:
        return Kind::PlainLatin1;
    case 5:
        return Kind::HtmlOnly;
    case 6:
    case 7:
    case 8:
        return Kind::Alternative;
    case 9:
        return Kind::WithAttachment;
    default:
        return Kind::PlainUtf8;
    }
}


QString html(const QString &text)
{
    QString body = text.toHtmlEscaped();
    body.replace(QStringLiteral("\r\n"), QStringLiteral("<br>\r\n"));
    return QStringLiteral("<html><body><p style=\"font-family:sans-serif\">\r\n") + body
        + QStringLiteral("\r\n</p></body></html>");
}

QByteArray encodedWord(const QString &text, bool latin1)
{
    return latin1 ? "=?ISO-8859-1?B?" + text.toLatin1().toBase64() + "?=" : "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

QByteArray textPart(const QByteArray &subtype, const QString &text, bool latin1)
{
    return "Content-Type: text/" + subtype + "; charset=" + (latin1 ? "ISO-8859-1" : "utf-8")
        + "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + (latin1 ? text.toLatin1() : text.toUtf8()) + "\r\n";
}

QByteArray attachment(std::mt19937 &rng, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::uniform_int_distribution<int> byte(0, 255);
    std::generate(bytes.begin(), bytes.end(), [&] { return char(byte(rng)); });
    QByteArray lines;
    const QByteArray encoded = bytes.toBase64();
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + "\r\n";
    return "Content-Type: application/octet-stream; name=\"data.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n"
        + lines;
}

QByteArray message(std::mt19937 &rng, int index, qsizetype size)
{
    const Kind kind = kindOf(index);
    const bool latin1 = kind == Kind::PlainLatin1;
    const QString name = QStringLiteral("José Müller %1").arg(index % 97);
    const QString subject = QStringLiteral("Übersicht %1: quarterly report for the café").arg(index);
    const QByteArray from = (index % 3 == 0 ? encodedWord(name, true) : QByteArray("Sender ") + QByteArray::number(index % 97))
        + " <sender" + QByteArray::number(index % 97) + "@example.test>";
    const QDateTime date = QDateTime(QDate(2021, 1, 1), QTime(8, 0), Qt::UTC).addSecs(qint64(index) * 37 * 3607);
    QByteArray head = "From: " + from + "\r\nTo: ann@example.test\r\nSubject: "
        + (index % 2 == 0 ? encodedWord(subject, false) : QStringLiteral("Report %1 for the budget").arg(index).toUtf8())
        + "\r\nDate: " + QLocale::c().toString(date, QStringLiteral("ddd, d MMM yyyy HH:mm:ss")).toLatin1()
        + " +0000\r\nMessage-ID: <bench" + QByteArray::number(index) + "@example.test>\r\nMIME-Version: 1.0\r\n";
    switch (kind) {
    case Kind::PlainUtf8:
    case Kind::PlainLatin1:
        return head + textPart("plain", Prose(rng, size), latin1);
    case Kind::HtmlOnly:
        return head + textPart("html", html(Prose(rng, size * 3 / 4)), false);
    case Kind::Alternative: {
        const QString text = Prose(rng, size * 2 / 5);
        return head + "Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n--alt\r\n"
            + textPart("plain", text, false) + "--alt\r\n" + textPart("html", html(text), false) + "--alt--\r\n";
    }
    case Kind::WithAttachment:
        return head + "Content-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n--mix\r\n"
            + textPart("plain", Prose(rng, size / 3), false) + "--mix\r\n" + attachment(rng, size / 2) + "--mix--\r\n";
    }
    return head;
}

// The message with its body and a large attachment side by side in a multipart/mixed: what
// follows the message's own header is a MIME entity of its own.
QByteArray withLargeAttachment(const QByteArray &message, const QByteArray &attached)
{
    const qsizetype bodyAt = message.indexOf("Content-Type:");
    return message.left(bodyAt) + "Content-Type: multipart/mixed; boundary=\"large\"\r\n\r\n--large\r\n"
        + message.mid(bodyAt) + "--large\r\n" + attached + "--large--\r\n";
}

} // namespace

void ForEachBenchMessage(int count, const std::function<void(const QByteArray &)> &take, int largeAttachmentEvery)
{
    std::mt19937 rng(20240102);
    // Median 16 KB, mean about 20 KB, a long tail of larger ones.
    std::lognormal_distribution<double> sizes(std::log(16000.0), 0.6);
    // One attachment for all: its bytes cost the server and the network, not the bench's setup.
    const QByteArray large = largeAttachmentEvery > 0 ? attachment(rng, LargeAttachmentBytes) : QByteArray();
    for (int index = 1; index <= count; ++index) {
        const QByteArray plain = message(rng, index, qsizetype(std::clamp(sizes(rng), 1500.0, 150000.0)));
        const bool heavy = largeAttachmentEvery > 0 && index % largeAttachmentEvery == 0;
        take(heavy ? withLargeAttachment(plain, large) : plain);
    }
}

QList<QByteArray> BenchMessages(int count, int largeAttachmentEvery)
{
    QList<QByteArray> messages;
    messages.reserve(count);
    ForEachBenchMessage(count, [&](const QByteArray &raw) { messages.append(raw); }, largeAttachmentEvery);
    return messages;
}

QString Prose(std::mt19937 &rng, qsizetype size)
{
    std::uniform_int_distribution<qsizetype> pick(0, Words.size() - 1);
    QString text;
    text.reserve(size + 80);
    qsizetype lineStart = 0;
    while (text.size() < size) {
        text += Words[pick(rng)];
        if (text.size() - lineStart > 70) {
            text += QStringLiteral("\r\n");
            lineStart = text.size();
        } else {
            text += u' ';
        }
    }
    return text;
}
