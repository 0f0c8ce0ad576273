#pragma once

#include <QString>

class MailStore;
class ResultsList;

// oChilkat_MailExtractListing: the filter test, then one unchecked row and its store record.
// Steps are trapped under "Form1" / "oChilkat_MailExtractListing"; ends with one yield.
void AddListing(ResultsList &list, MailStore &store, const QString &filterText,
                const QString &From, const QString &FromName, const QString &FromAddress, const QString &Subject,
                const QString &ReceivedDate, const QString &PlainTextBody, const QString &HTMLTextBody);

// Whether the message passes the filter (Subject without regard to case, the others exactly).
bool PassesFilter(const QString &filterText, const QString &From, const QString &FromName, const QString &FromAddress,
                  const QString &Subject, const QString &ReceivedDate, const QString &PlainTextBody);

// The hidden day number of a ReceivedDate text; throws AppError "Type mismatch" when it is no date.
QString RecDateText(const QString &receivedDate);
