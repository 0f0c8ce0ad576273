#include "tests/common/resultsharness.h"

#include "imap/connectionoverrides.h"
#include "results/listinghandler.h"
#include "results/resultsview.h"
#include "support/pointer.h"
#include "support/repaintpacer.h"
#include "support/textprogressbar.h"

#include <QHBoxLayout>
#include <QSslCertificate>
#include <QTest>
#include <QVBoxLayout>

ResultsHarness::ResultsHarness()
    : PushButton1(new QPushButton(QStringLiteral("1. Connect"))),
      PushButton2(new QPushButton(QStringLiteral("2b. Get Some Emails"))),
      PushButton3(new QPushButton(QStringLiteral("2a. Get All Emails"))), Combo2(new QComboBox), Text1(new QLineEdit),
      Text2(new QLineEdit), txtSearch(new QLineEdit), ListView1(new ResultsView), Label1(new QLabel),
      Label2(new QLabel), ProgressBar1(new TextProgressBar)
{
    auto *column = new QVBoxLayout(&window);
    for (QWidget *widget : std::initializer_list<QWidget *>{Text1, Text2, PushButton1, Combo2, txtSearch})
        column->addWidget(widget);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(PushButton3);
    buttons->addWidget(PushButton2);
    buttons->addStretch();
    column->addLayout(buttons);
    for (QWidget *widget : std::initializer_list<QWidget *>{ListView1, Label1, Label2, ProgressBar1})
        column->addWidget(widget);
    ProgressBar1->setText(QStringLiteral("Progress Bar"));
    new RepaintPacer(&window); // painted at the pace the main window paints

    const QString caFile = ConnectionOverrides::fromEnvironment().caFile;
    if (!caFile.isEmpty())
        component.setExtraCaCertificates(QSslCertificate::fromPath(caFile));

    list = std::make_unique<ResultsList>(ListView1, Label1, Label2);
    list->createColumns({1300, 1300, 1600, 1600, 1600, 0});
    oChilkat = std::make_unique<SessionHolder>(
        [this](QString &From, QString &FromName, QString &FromAddress, QString &Subject, QString &ReceivedDate,
               QString &PlainTextBody, QString &HTMLTextBody, qint32 &uID) {
            AddListing(*list, mailStore, txtSearch->text(), From, FromName, FromAddress, Subject, ReceivedDate,
                       PlainTextBody, HTMLTextBody);
            listedIds.append(uID);
            if (afterListing)
                afterListing(uID);
        },
        [this](qint32 &percent) { retrieval->oChilkat_ScrapProgress(percent); });
    selection = std::make_unique<SelectionCommands>(QStringLiteral("Form1"), *list, bRuleMatched,
                                                    [this] { return IsBusy(&window); });
    QObject::connect(list.get(), &ResultsList::ItemCheck, [this] { selection->ListView1_ItemCheck(); });

    MainWindowParts parts;
    parts.window = &window;
    parts.PushButton1 = PushButton1;
    parts.PushButton2 = PushButton2;
    parts.PushButton3 = PushButton3;
    parts.Combo2 = Combo2;
    parts.Text1 = Text1;
    parts.Text2 = Text2;
    parts.ProgressBar1 = ProgressBar1;
    parts.list = list.get();
    parts.mailStore = &mailStore;
    parts.oChilkat = oChilkat.get();
    parts.component = &component;
    parts.bRuleMatched = &bRuleMatched;
    retrieval = std::make_unique<Retrieval>(parts);
    QObject::connect(PushButton3, &QPushButton::clicked, [this] { retrieval->PushButton3_Click(); });
    QObject::connect(PushButton2, &QPushButton::clicked, [this] { retrieval->PushButton2_Click(); });
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
    auto session = std::make_shared<clsChilkatIMAP>();
    oChilkat->set(session);
    session->setChilkatIMAPObject(&component);
    session->setSSL(true);
    session->setPORT(port);
    session->setIMAPServer(host);
    session->setUsername(user);
    session->setPassword(password);
    if (!session->Connect())
        return false;
    const std::optional<QStringList> folders = session->EnumMailFolders();
    if (!folders)
        return false;
    Combo2->clear();
    Combo2->addItems(*folders);
    Combo2->setCurrentIndex(Combo2->findText(folder));
    PushButton1->setText(QStringLiteral("Disconnect"));
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
