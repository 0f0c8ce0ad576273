// Message bytes -> ReadEmail (GMime and our decoding) -> the values a row and a worksheet get.
#include "imap/mimereader.h"
#include "tests/fuzz/fuzzcheck.h"

#include <QTimeZone>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("TZ", "UTC"); // dates come back as local time: the same on every machine
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Not copied: reads past the end hit the fuzzer's own buffer bounds.
    const QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QDateTime internalDate(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
    const Email email = ReadEmail(raw, internalDate);

    // Text the list and the workbook can take.
    for (const QString *text : {&email.From, &email.FromName, &email.FromAddress, &email.Subject,
                                &email.PlainTextBody, &email.HTMLTextBody})
        FUZZ_CHECK(IsWellFormedUtf16(*text) && !text->contains(QChar(u'\0')));
    // Line ends are plain LF, whatever the message used.
    FUZZ_CHECK(!email.PlainTextBody.contains(u'\r'));
    FUZZ_CHECK(!email.HTMLTextBody.contains(u'\r'));
    // The INTERNALDATE stands in for a Date header that is missing or unreadable.
    FUZZ_CHECK(email.Date.isValid());
    FUZZ_CHECK(email.Date.timeSpec() == Qt::LocalTime);
    return 0;
}
