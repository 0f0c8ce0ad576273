#include "demo/demomailbox.h"

#include "demo/mimewriter.h"

#include <QTimeZone>
#include <random>

using MimeWriter::WordEncoding;

namespace {

struct Sender {
    const char16_t *name;
    const char *address;
};

// Display names plain, quoted, Latin-1, other scripts, and none at all.
const Sender Senders[] = {
    {u"Alice Martin", "alice.martin@example.com"},   {u"Smith, Jane", "jane.smith@example.org"},
    {u"Jürgen Weiß", "juergen.weiss@example.de"},    {u"Zoë Laurent", "zoe.laurent@example.fr"},
    {u"", "noreply@shop.example"},                   {u"Søren Ørsted", "soren@example.dk"},
    {u"李华", "li.hua@example.cn"},                  {u"Олег Петров", "oleg.petrov@example.ru"},
    {u"", "alerts@monitoring.example"},              {u"Bob \"the builder\" Stone", "bob.stone@example.org"},
    {u"Ólafur Jónsson", "olafur@example.is"},        {u"Carla Díaz", "carla.diaz@example.es"},
    {u"The Weekly Digest", "digest@news.example"},   {u"", "ops@example.net"},
};

const char16_t *const Topics[] = {
    u"Quarterly report", u"Grüße aus Köln", u"Réunion — ordre du jour", u"Invoice", u"Café tonight? ☕",
    u"Project status",   u"Übergabe der Schlüssel", u"Año nuevo, planes nuevos", u"Server alert",
    u"Photos from the trip 📷", u"Contract renewal", u"Läuft bei dir?", u"Weekly digest",
    u"Meeting notes",    u"Straße gesperrt",
};

const char16_t *const Sentences[] = {
    u"Thanks for the quick reply yesterday.",
    u"The numbers for the last quarter look better than we expected.",
    u"Können wir uns nächste Woche treffen, vielleicht am Dienstag?",
    u"La réunion est déplacée à jeudi, même salle qu'avant.",
    u"Please find the summary below and tell me what you think.",
    u"Die Straße vor dem Büro ist wegen Bauarbeiten gesperrt.",
    u"We will ship the new version once the last tests pass.",
    u"¿Nos vemos el sábado en la plaza mayor?",
    u"The backup finished at 03:12 without errors.",
    u"I attached nothing, but the link in the portal should work.",
    u"Grüße an die Familie, und frohes Schaffen!",
    u"Could you check the invoice number against the order?",
};

class Generator {
public:
    explicit Generator(quint32 seed) : m_random(seed) {}

    int pick(int count) { return int(m_random() % quint32(count)); }

    QString paragraph(int sentences)
    {
        QStringList out;
        for (int i = 0; i < sentences; ++i)
            out.append(QString::fromUtf16(Sentences[pick(int(std::size(Sentences)))]));
        return out.join(QLatin1Char(' '));
    }

    QString letter(int paragraphs)
    {
        QStringList out{QStringLiteral("Hello,")};
        for (int i = 0; i < paragraphs; ++i)
            out.append(wrap(paragraph(2 + pick(5))));
        out.append(QStringLiteral("Best regards"));
        return out.join(QStringLiteral("\n\n")) + QLatin1Char('\n');
    }

private:
    // Lines under 80 characters: 8-bit bodies must stay well below the 998-octet line limit.
    static QString wrap(const QString &text)
    {
        QStringList lines;
        QString line;
        for (const QString &word : text.split(QLatin1Char(' '))) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > 72) {
                lines.append(line);
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines.append(line);
        return lines.join(QLatin1Char('\n'));
    }

    std::mt19937 m_random;
};

bool fitsLatin1(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

QString html(const QString &subject, const QString &text)
{
    QString body = text.toHtmlEscaped();
    body.replace(QStringLiteral("\n\n"), QStringLiteral("</p>\n<p>"));
    return QStringLiteral("<html><body>\n<h2>%1</h2>\n<p>%2</p>\n</body></html>\n").arg(subject.toHtmlEscaped(), body);
}

enum class Kind { PlainUtf8, PlainLatin1, HtmlOnly, Alternative, LongLetter };

QByteArray textPart(const QByteArray &type, const QString &text, bool latin1, bool base64)
{
    const QByteArray charset = latin1 ? "ISO-8859-1" : "UTF-8";
    const QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
    QByteArray part = "Content-Type: text/" + type + "; charset=" + charset + "\n";
    if (base64)
        return part + "Content-Transfer-Encoding: base64\n\n" + MimeWriter::base64Lines(bytes);
    if (latin1)
        return part + "Content-Transfer-Encoding: 8bit\n\n" + bytes;
    return part + "Content-Transfer-Encoding: quoted-printable\n\n" + MimeWriter::quotedPrintable(bytes);
}

DemoMessage makeMessage(Generator &gen, int folder, int number, const QDateTime &date, Kind kind,
                        const Sender &sender)
{
    DemoMessage m;
    m.fromName = QString::fromUtf16(sender.name);
    m.fromAddress = QString::fromLatin1(sender.address);
    const QString topic = QString::fromUtf16(Topics[gen.pick(int(std::size(Topics)))]);
    m.subject = gen.pick(4) == 0 ? QStringLiteral("Re: ") + topic : topic + QStringLiteral(" #%1").arg(number);
    m.date = date;

    const bool latin1 = kind == Kind::PlainLatin1;
    QString text = gen.letter(kind == Kind::LongLetter ? 14 + gen.pick(10) : 1 + gen.pick(3));
    if (latin1 && !fitsLatin1(text))
        text = QStringLiteral("Grüße aus München! Das Wetter ist schön, die Straßen sind voll.\n");
    if (kind != Kind::HtmlOnly)
        m.plainBody = text;
    if (kind == Kind::HtmlOnly || kind == Kind::Alternative)
        m.htmlBody = html(m.subject, text);

    // Headers in every encoding a reader meets: B and Q words, UTF-8 and Latin-1.
    const bool latin1Header = fitsLatin1(m.subject) && fitsLatin1(m.fromName) && gen.pick(2) == 0;
    const QByteArray charset = latin1Header ? "ISO-8859-1" : "UTF-8";
    const WordEncoding words = gen.pick(2) == 0 ? WordEncoding::B : WordEncoding::Q;
    QByteArray raw = "From: " + MimeWriter::mailbox(m.fromName, m.fromAddress, charset, words) + "\n"
        + "To: Demo User <demo.user@example.com>\n"
        + "Subject: " + MimeWriter::headerText(m.subject, charset, words) + "\n"
        + "Date: " + MimeWriter::date(date) + "\n"
        + "Message-ID: <demo-" + QByteArray::number(folder) + "-" + QByteArray::number(number)
        + "@quorvane.demo>\n"
        + "MIME-Version: 1.0\n";
    if (kind == Kind::Alternative) {
        const QByteArray boundary = "=_alt_" + QByteArray::number(number);
        raw += "Content-Type: multipart/alternative; boundary=\"" + boundary + "\"\n\n"
            + "--" + boundary + "\n" + textPart("plain", m.plainBody, false, false) + "\n"
            + "--" + boundary + "\n" + textPart("html", m.htmlBody, false, false) + "\n"
            + "--" + boundary + "--\n";
    } else if (kind == Kind::HtmlOnly) {
        raw += textPart("html", m.htmlBody, false, true);
    } else {
        raw += textPart("plain", m.plainBody, latin1, kind == Kind::LongLetter);
    }
    m.raw = raw;
    return m;
}

// How often each kind of message occurs in a folder, out of 20.
struct FolderPlan {
    const char16_t *name;
    int count;
    int firstYear;
    int weights[5]; // PlainUtf8, PlainLatin1, HtmlOnly, Alternative, LongLetter
};

const FolderPlan Plans[] = {
    {u"INBOX", 120, 2019, {6, 3, 3, 5, 3}},       {u"Work", 50, 2020, {7, 1, 2, 6, 4}},
    {u"Work/Projects", 40, 2021, {6, 2, 2, 5, 5}}, {u"Newsletters", 45, 2019, {0, 0, 14, 6, 0}},
    {u"Family", 25, 2019, {6, 10, 0, 0, 4}},       {u"Sent", 20, 2022, {10, 4, 0, 2, 4}},
};

const int Offsets[] = {0, 60, 120, -300, -480, 330, 540, 600};

Kind pickKind(Generator &gen, const int (&weights)[5])
{
    int roll = gen.pick(20);
    for (int kind = 0; kind < 5; ++kind) {
        if (roll < weights[kind])
            return Kind(kind);
        roll -= weights[kind];
    }
    return Kind::PlainUtf8;
}

const Sender &pickSender(Generator &gen, const QString &folder)
{
    static const Sender me{u"Demo User", "demo.user@example.com"};
    static const Sender newsletters[] = {Senders[4], Senders[12]};
    if (folder == QLatin1String("Sent"))
        return me;
    if (folder == QLatin1String("Newsletters"))
        return newsletters[gen.pick(2)];
    return Senders[gen.pick(int(std::size(Senders)))];
}

} // namespace

QList<DemoFolder> MakeDemoMailbox()
{
    Generator gen(20240229);
    const QDateTime end(QDate(2024, 12, 31), QTime(23, 0), QTimeZone::utc());
    QList<DemoFolder> folders;
    for (int f = 0; f < int(std::size(Plans)); ++f) {
        const FolderPlan &plan = Plans[f];
        DemoFolder folder{QString::fromUtf16(plan.name), {}};
        const QDateTime start(QDate(plan.firstYear, 1, 1), QTime(8, 0), QTimeZone::utc());
        const qint64 step = start.secsTo(end) / plan.count;
        for (int n = 1; n <= plan.count; ++n) {
            // In the order they arrived, a few hours either way, each in its sender's zone.
            const QDateTime utc = start.addSecs(step * (n - 1) + gen.pick(int(step / 2)));
            const QDateTime date = utc.toOffsetFromUtc(Offsets[gen.pick(int(std::size(Offsets)))] * 60);
            const Kind kind = pickKind(gen, plan.weights);
            folder.messages.append(makeMessage(gen, f, n, date, kind, pickSender(gen, folder.name)));
        }
        folders.append(folder);
    }
    return folders;
}
