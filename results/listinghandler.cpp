#include "results/listinghandler.h"

#include "results/mailstore.h"
#include "results/resultslist.h"
#include "support/apperror.h"
#include "support/datetext.h"
#include "support/doevents.h"
#include "support/errortrap.h"
#include "support/vbnumber.h"

bool PassesFilter(const QString &filterText, const QString &From, const QString &FromName, const QString &FromAddress,
                  const QString &Subject, const QString &ReceivedDate, const QString &PlainTextBody)
{
    if (filterText.isEmpty())
        return true;
    for (const QString *exact : {&From, &FromName, &FromAddress, &ReceivedDate, &PlainTextBody}) {
        if (exact->contains(filterText, Qt::CaseSensitive))
            return true;
    }
    return Subject.contains(filterText, Qt::CaseInsensitive);
}

QString RecDateText(const QString &receivedDate)
{
    const std::optional<QDateTime> when = TextToDate(receivedDate);
    if (!when)
        throw AppError(QStringLiteral("Type mismatch"));
    return QString::number(qint64(RoundHalfEven(DaySerial(*when))));
}

void AddListing(ResultsList &list, MailStore &store, const QString &filterText,
                const QString &From, const QString &FromName, const QString &FromAddress, const QString &Subject,
                const QString &ReceivedDate, const QString &PlainTextBody, const QString &HTMLTextBody)
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("oChilkat_MailExtractListing"));
    bool passes = true; // a test that fails with an error lets the message through
    trap(100, [&] { passes = PassesFilter(filterText, From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody); });

    int row = 0;
    // Without its own row the message is dropped rather than written over the previous one.
    if (passes && trap(101, [&] { row = list.appendRow(From); })) {
        trap(102, [&] {
            store.setRecord(row, {From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody, HTMLTextBody});
        });
        trap(103, [&] { list.setText(row, 1, FromName); });
        trap(104, [&] { list.setText(row, 2, FromAddress); });
        trap(105, [&] { list.setText(row, 3, Subject); });
        trap(106, [&] { list.setText(row, 4, ReceivedDate); });
        trap(107, [&] { list.setText(row, 5, RecDateText(ReceivedDate)); });
    }
    DoEvents();
}
