#include "tests/common/resultsharness.h"

#include "mail/clschilkatimap.h"
#include "mail/sessionfactory.h"
#include "results/captions.h"
#include "results/resultsview.h"
#include "support/textprogressbar.h"
#include "tests/common/form1harness.h"

#include <QTest>

namespace {

// The load sequence makes the component: the harness's references are bound after it.
ImapClient &loaded(Form1 &window)
{
    Form1Harness::clearSettings();
    window.Form_Load();
    return *window.component();
}

} // namespace

ResultsHarness::ResultsHarness()
    : component(loaded(window)), mailStore(window.mailStore()), bRuleMatched(window.bRuleMatched), list(&window.list()),
      oChilkat(&window.sessionHolder()), selection(&window.selection()), retrieval(&window.retrieval()),
      PushButton1(Form1Harness::button(window, "PushButton1")),
      PushButton2(Form1Harness::button(window, "PushButton2")),
      PushButton3(Form1Harness::button(window, "PushButton3")),
      Combo2(Form1Harness::control<QComboBox>(window, "Combo2")),
      Text1(Form1Harness::control<QLineEdit>(window, "Text1")),
      Text2(Form1Harness::control<QLineEdit>(window, "Text2")),
      txtSearch(Form1Harness::control<QLineEdit>(window, "txtSearch")),
      ListView1(Form1Harness::control<ResultsView>(window, "ListView1")),
      Label1(Form1Harness::control<QLabel>(window, "Label1")), Label2(Form1Harness::control<QLabel>(window, "Label2")),
      ProgressBar1(Form1Harness::control<TextProgressBar>(window, "ProgressBar1"))
{
    // After the window's own handler, which the holder connects before it tells of the change.
    QObject::connect(oChilkat, &SessionHolder::changed, [this] {
        if (const std::shared_ptr<clsChilkatIMAP> &session = oChilkat->get())
            QObject::connect(
                session.get(), &clsChilkatIMAP::MailExtractListing, session.get(),
                [this](QString &, QString &, QString &, QString &, QString &, QString &, QString &, qint32 &uID) {
                    listedIds.append(uID);
                    if (afterListing)
                        afterListing(uID);
                });
    });
    window.show();
}

ResultsHarness::~ResultsHarness()
{
    oChilkat->reset();
}

bool ResultsHarness::connectTo(const QString &host, int port, const QString &user, const QString &password,
                               const QString &folder)
{
    Text1->setText(user);
    Text2->setText(password);
    const std::shared_ptr<clsChilkatIMAP> session = NewSession(&component, host, port, user, password);
    oChilkat->set(session);
    if (!session->Connect())
        return false;
    const std::optional<QStringList> folders = session->EnumMailFolders();
    if (!folders)
        return false;
    Combo2->clear();
    Combo2->addItems(*folders);
    Combo2->setCurrentIndex(Combo2->findText(folder));
    PushButton1->setText(SignedInCaption);
    return Combo2->currentText() == folder;
}

void ResultsHarness::clickGetAll()
{
    QTest::mouseClick(PushButton3, Qt::LeftButton);
}

void ResultsHarness::clickGetSome()
{
    QTest::mouseClick(PushButton2, Qt::LeftButton);
}

QStringList ResultsHarness::column(int column) const
{
    QStringList cells;
    for (int row = 1; row <= list->rowCount(); ++row)
        cells.append(list->text(row, column));
    return cells;
}

QByteArray TestMessage(const QString &fromName, const QString &fromAddress, const QString &subject,
                       const QString &plain, const QString &html, const QByteArray &date)
{
    QByteArray head = "From: " + fromName.toUtf8() + " <" + fromAddress.toUtf8() + ">\r\n" + "To: ann@example.test\r\n"
        + "Subject: " + subject.toUtf8() + "\r\n" + "Date: " + date + "\r\n" + "MIME-Version: 1.0\r\n";
    if (html.isEmpty())
        return head + "Content-Type: text/plain; charset=utf-8\r\n\r\n" + plain.toUtf8() + "\r\n";
    return head + "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
        + "--b1\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + plain.toUtf8() + "\r\n"
        + "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + html.toUtf8() + "\r\n--b1--\r\n";
}
