// Server bytes -> response reader, fed whole and in pieces -> value parser -> mailbox names and
// INTERNALDATE, as the client takes them apart.
#include "imap/imapvalue.h"
#include "imap/internaldate.h"
#include "imap/mutf7.h"
#include "imap/responsereader.h"
#include "tests/fuzz/fuzzcheck.h"

#include <QTimeZone>

#include <cstdint>

namespace {

struct Outcome {
    QList<ImapResponse> responses;
    bool failed = false;
};

void drain(ResponseReader &reader, Outcome &out)
{
    while (auto r = reader.next())
        out.responses.append(*r);
    out.failed = reader.failed();
}

Outcome readWhole(const QByteArray &stream)
{
    ResponseReader reader;
    Outcome out;
    reader.feed(stream);
    drain(reader, out);
    return out;
}

// The piece lengths come from the input itself (a generator seeded by its bytes): mostly a few
// bytes, sometimes one, sometimes a large piece, so across a run every cut through a line end,
// a literal announcement and a literal gets its turn.
Outcome readInPieces(const QByteArray &stream, ResponseReader &reader)
{
    uint64_t state = 1469598103934665603ull;
    for (char c : stream)
        state = (state ^ uchar(c)) * 1099511628211ull;
    auto nextLength = [&state]() -> qsizetype {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        switch (state % 8) {
        case 0: return 1;
        case 1: return 1 + qsizetype(state >> 8) % 4096;
        default: return 1 + qsizetype(state >> 8) % 16;
        }
    };
    Outcome out;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype length = qMin(nextLength(), stream.size() - at);
        reader.feed(stream.mid(at, length));
        at += length;
        drain(reader, out);
    }
    return out;
}

bool sameResponses(const QList<ImapResponse> &a, const QList<ImapResponse> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].lines != b[i].lines || a[i].literals != b[i].literals)
            return false;
    return true;
}

// The size a line announces with a trailing {n} or {n+}; -1 when it announces none.
qint64 announced(const QByteArray &line)
{
    if (!line.endsWith('}') || line.lastIndexOf('{') < 0)
        return -1;
    QByteArray digits = line.sliced(line.lastIndexOf('{') + 1).chopped(1);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 18)
        return -1;
    for (char c : digits)
        if (c < '0' || c > '9')
            return -1;
    return digits.toLongLong();
}

// Each response must be the next bytes of the stream: its lines with their line ends and the
// literals they announce. Returns where the last response ends.
qsizetype checkConsumed(const QByteArray &stream, const QList<ImapResponse> &responses)
{
    qsizetype at = 0;
    for (const ImapResponse &r : responses) {
        FUZZ_CHECK(!r.lines.isEmpty());
        FUZZ_CHECK(r.literals.size() == r.lines.size() - 1);
        const qsizetype start = at;
        QByteArray withCrlf; // what raw() must give
        bool allCrlf = true;
        qint64 total = 0;
        for (qsizetype i = 0; i < r.lines.size(); ++i) {
            const QByteArray &line = r.lines[i];
            FUZZ_CHECK(line.size() <= ResponseReader::MaxLineBytes);
            FUZZ_CHECK(QByteArrayView(stream).sliced(at).startsWith(line));
            at += line.size();
            withCrlf += line;
            if (QByteArrayView(stream).sliced(at).startsWith("\r\n")) {
                at += 2;
            } else {
                FUZZ_CHECK(at < stream.size() && stream[at] == '\n');
                allCrlf = false;
                ++at;
            }
            total += line.size();
            if (i == r.lines.size() - 1) {
                FUZZ_CHECK(announced(line) < 0);
                break;
            }
            const QByteArray &literal = r.literals[i];
            FUZZ_CHECK(announced(line) == literal.size());
            FUZZ_CHECK(literal.size() <= ResponseReader::MaxLiteralBytes);
            FUZZ_CHECK(QByteArrayView(stream).sliced(at).startsWith(literal));
            at += literal.size();
            withCrlf += "\r\n" + literal;
            total += literal.size();
        }
        FUZZ_CHECK(total <= ResponseReader::MaxLiteralBytes + ResponseReader::MaxLineBytes);
        FUZZ_CHECK(r.raw() == withCrlf);
        if (allCrlf)
            FUZZ_CHECK(r.raw() == stream.sliced(start, at - start - 2));
    }
    return at;
}

// What is left after the last response is the start of one not yet complete.
void checkRemainder(const QByteArrayView rest, const ResponseReader &reader)
{
    FUZZ_CHECK(reader.literalReceived() <= reader.literalSize());
    const QByteArray first = reader.partialFirstLine();
    if (!rest.contains('\n')) {
        FUZZ_CHECK(first.isEmpty());
        return;
    }
    FUZZ_CHECK(rest.startsWith(first));
    FUZZ_CHECK(announced(first) >= 0);
}

// Writes values back as response text: strings quoted, or as literals when they hold a line
// break or NUL.
void write(const QList<ImapValue> &values, ImapResponse &out)
{
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            out.lines.last() += ' ';
        const ImapValue &v = values[i];
        switch (v.kind) {
        case ImapValue::Kind::Atom:
            out.lines.last() += v.text;
            break;
        case ImapValue::Kind::Nil:
            out.lines.last() += "NIL";
            break;
        case ImapValue::Kind::String:
            if (v.text.contains('\r') || v.text.contains('\n') || v.text.contains('\0')) {
                out.lines.last() += '{' + QByteArray::number(v.text.size()) + '}';
                out.literals.append(v.text);
                out.lines.append(QByteArray());
            } else {
                QByteArray quoted = v.text;
                quoted.replace('\\', "\\\\").replace('"', "\\\"");
                out.lines.last() += '"' + quoted + '"';
            }
            break;
        case ImapValue::Kind::List:
            out.lines.last() += '(';
            write(v.items, out);
            out.lines.last() += ')';
            break;
        }
    }
}

bool sameValues(const QList<ImapValue> &a, const QList<ImapValue> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].text != b[i].text || !sameValues(a[i].items, b[i].items))
            return false;
    return true;
}

// A name that decodes is well-formed text and encodes to the very same bytes: the client
// selects a listed folder by encoding the decoded name again. And any text survives encoding
// and decoding.
void checkMailboxName(const QByteArray &bytes)
{
    if (const auto decoded = DecodeMailboxName(bytes)) {
        FUZZ_CHECK(IsWellFormedUtf16(*decoded));
        FUZZ_CHECK(EncodeMailboxName(*decoded) == bytes);
    }

    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(char16_t((uchar(bytes[i]) << 8) | uchar(bytes[i + 1]))));
    if (!IsWellFormedUtf16(text))
        return;
    const QByteArray encoded = EncodeMailboxName(text);
    for (char c : encoded)
        FUZZ_CHECK(c >= 0x20 && c <= 0x7e);
    FUZZ_CHECK(DecodeMailboxName(encoded) == text);
}

// A date read is a whole second, and its own UTC text reads back to the same instant.
void checkInternalDate(const QByteArray &text)
{
    const QDateTime read = ParseInternalDate(text);
    if (!read.isValid())
        return;
    FUZZ_CHECK(read.timeSpec() == Qt::LocalTime);
    const QDateTime utc = read.toUTC();
    FUZZ_CHECK(utc.time().msec() == 0);
    if (utc.date().year() < 1 || utc.date().year() > 9999)
        return;
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QByteArray again = QByteArray::number(utc.date().day()) + '-' + months[utc.date().month() - 1] + '-'
                             + QByteArray::number(utc.date().year()).rightJustified(4, '0') + ' '
                             + utc.time().toString(u"hh:mm:ss").toLatin1() + " +0000";
    FUZZ_CHECK(ParseInternalDate(again) == read);
}

void checkTexts(const QList<ImapValue> &values)
{
    for (const ImapValue &v : values) {
        if (v.kind == ImapValue::Kind::List) {
            checkTexts(v.items);
        } else if (v.isText()) {
            checkMailboxName(v.text);
            checkInternalDate(v.text);
        }
    }
}

void checkValues(const ImapResponse &response)
{
    const auto values = ParseResponseValues(response);
    if (!values)
        return;
    checkTexts(*values);

    ImapResponse written;
    written.lines.append(QByteArray());
    write(*values, written);
    // What the writer cannot give back as it came: quoted strings holding a NUL become literals,
    // which may pass the reader's count; and a quoted "{" with an atom ending in "}" after it
    // makes a line end the reader takes for a broken literal announcement.
    const QByteArray &lastLine = written.lines.last();
    if (written.literals.size() > ResponseReader::MaxLiteralsPerResponse
        || (lastLine.endsWith('}') && lastLine.contains('{')))
        return;
    const Outcome again = readWhole(written.raw() + "\r\n");
    FUZZ_CHECK(!again.failed && again.responses.size() == 1);
    const auto reread = ParseResponseValues(again.responses.first());
    FUZZ_CHECK(reread && sameValues(*reread, *values));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("TZ", "UTC"); // dates read as local time: the same on every machine
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    const Outcome whole = readWhole(stream);
    ResponseReader pieces;
    const Outcome split = readInPieces(stream, pieces);
    FUZZ_CHECK(whole.failed == split.failed);
    FUZZ_CHECK(sameResponses(whole.responses, split.responses));

    const qsizetype end = checkConsumed(stream, split.responses);
    if (!split.failed)
        checkRemainder(QByteArrayView(stream).sliced(end), pieces);
    for (const ImapResponse &r : split.responses)
        checkValues(r);
    return 0;
}
