#include "app/form1.h"

#include "app/credentialstore.h"
#include "export/form4.h"
#include "export/spreadsheetexport.h"
#include "export/xlsxtarget.h"
#include "imap/connectionoverrides.h"
#include "imap/imapclient.h"
#include "mail/errortrap.h"
#include "results/listinghandler.h"
#include "results/resultslist.h"
#include "results/resultspane.h"
#include "results/resultsview.h"
#include "results/retrieval.h"
#include "results/sessionholder.h"
#include "support/messageseam.h"
#include "support/pointer.h"
#include "support/repaintpacer.h"
#include "support/textprogressbar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <limits>

namespace {
constexpr const char *DownloadAddress = "https://quorvane.app/download";

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton *button(const char *name, const QString &caption)
{
    return named(new QPushButton(caption), name);
}
} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent), m_credentials(std::make_unique<CredentialStore>()), m_target(std::make_unique<XlsxTarget>())
{
    setObjectName(QStringLiteral("Form1"));
    new RepaintPacer(this);
    buildControls();
    m_oChilkat = std::make_unique<SessionHolder>(
        [this](QString &From, QString &FromName, QString &FromAddress, QString &Subject, QString &ReceivedDate,
               QString &PlainTextBody, QString &HTMLTextBody, qint32 &) {
            AddListing(list(), m_mailStore, txtSearch->text(), From, FromName, FromAddress, Subject, ReceivedDate,
                       PlainTextBody, HTMLTextBody);
        },
        [this](qint32 &percent) {
            if (m_retrieval)
                m_retrieval->oChilkat_ScrapProgress(percent);
        });
    wireHandlers();
}

Form1::~Form1()
{
    m_credentials->settle();
}

ResultsList &Form1::list() const
{
    return m_pane->list();
}

const std::shared_ptr<clsChilkatIMAP> &Form1::oChilkat() const
{
    return m_oChilkat->get();
}

void Form1::setSpreadsheetTarget(std::unique_ptr<SpreadsheetTarget> target)
{
    m_target = std::move(target);
}

void Form1::buildControls()
{
    Frame5 = named(new QGroupBox(QStringLiteral("Login")), "Frame5");
    lblLabels[0] = named(new QLabel(QStringLiteral(" Yahoo! ID:")), "lblLabels0");
    lblLabels[1] = named(new QLabel(QStringLiteral("Password:")), "lblLabels1");
    Text1 = named(new QLineEdit, "Text1");
    Text2 = named(new QLineEdit, "Text2");
    // A box shorter than a stored value would cut it, and its change handler would store the cut.
    for (QLineEdit *box : {Text1, Text2})
        box->setMaxLength(std::numeric_limits<int>::max());
    Text2->setEchoMode(QLineEdit::Password);
    Text2->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Check1 = named(new QCheckBox(QStringLiteral("Remember me")), "Check1");
    Check2 = named(new QCheckBox(QStringLiteral("Autoconnect when software loads")), "Check2");
    PushButton1 = button("PushButton1", QStringLiteral("1. Connect"));
    PushButton11 = button("PushButton11", QStringLiteral("Help"));

    auto *login = new QGridLayout(Frame5);
    login->addWidget(lblLabels[0], 0, 0);
    login->addWidget(Text1, 1, 0);
    login->addWidget(lblLabels[1], 2, 0);
    login->addWidget(Text2, 3, 0);
    login->addWidget(Check1, 0, 1, 2, 1);
    login->addWidget(Check2, 2, 1, 2, 1);
    auto *signIn = new QHBoxLayout;
    signIn->addWidget(PushButton1);
    signIn->addWidget(PushButton11);
    login->addLayout(signIn, 4, 1);

    Frame3 = named(new QGroupBox(QStringLiteral("Folder")), "Frame3");
    Combo2 = named(new QComboBox, "Combo2");
    (new QVBoxLayout(Frame3))->addWidget(Combo2);

    Frame4 = named(new QGroupBox(QStringLiteral(
                       "Optional: Filter (Only messages containing characters below will be added to the list)")),
                   "Frame4");
    txtSearch = named(new QLineEdit, "txtSearch");
    (new QVBoxLayout(Frame4))->addWidget(txtSearch);

    PushButton3 = button("PushButton3", QStringLiteral("2a. Get All Emails"));
    PushButton2 = button("PushButton2", QStringLiteral("2b. Get Some Emails"));
    PushButton3->setFixedWidth(TwipsToPixels(3840));
    PushButton2->setFixedWidth(TwipsToPixels(3840));
    PushButton8 = button("PushButton8", QStringLiteral("Show List In Larger View"));
    PushButton4 = button("PushButton4", QStringLiteral("3. Send To Excel"));
    ProgressBar1 = named(new TextProgressBar, "ProgressBar1");
    ProgressBar1->setText(QStringLiteral("Progress Bar"));

    const int gap = TwipsToPixels(120);
    auto pair = [gap](QWidget *left, QWidget *right) {
        auto *row = new QHBoxLayout;
        row->setSpacing(gap);
        row->addWidget(left);
        row->addWidget(right);
        return row;
    };
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(gap, gap, gap, gap);
    column->addWidget(Frame5);
    column->addWidget(Frame3);
    column->addWidget(Frame4);
    auto *retrieval = pair(PushButton3, PushButton2);
    retrieval->addStretch();
    column->addLayout(retrieval);
    column->addWidget(PushButton8);
    // Made here, once the controls above are in the window: the Tab key visits them in this order.
    m_pane = new ResultsPane(QStringLiteral("Form1"), this, bRuleMatched);
    column->addWidget(m_pane->ListView1, 1);
    column->addLayout(pair(m_pane->Label1, m_pane->Label2));
    column->addLayout(pair(m_pane->PushButton5, m_pane->PushButton6));
    column->addLayout(pair(m_pane->PushButton9, m_pane->PushButton10));
    column->addWidget(m_pane->PushButton7);
    column->addWidget(PushButton4);
    column->addWidget(ProgressBar1);
    resize(TwipsToPixels(8040), TwipsToPixels(9405));

    for (QPushButton *b : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton8, PushButton11})
        b->setAutoDefault(false);
}

void Form1::wireHandlers()
{
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton11, &QPushButton::clicked, this, [this] { PushButton11_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] {
        if (m_retrieval)
            m_retrieval->PushButton3_Click();
    });
    connect(PushButton2, &QPushButton::clicked, this, [this] {
        if (m_retrieval)
            m_retrieval->PushButton2_Click();
    });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });

    connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::stateChanged, this, [this] { Check2_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
    connect(Combo2, &QComboBox::currentIndexChanged, this, [this](int index) { Combo2_Click(index); });

    // The retrieval buttons keep the hand while a run shows the hourglass: one of them is Stop.
    ShowPointerOnHover(this,
                       QList<QWidget *>{PushButton1, PushButton2, PushButton3, PushButton4, PushButton8, PushButton11,
                                        Frame5, Frame3, Frame4, Text1, Text2}
                           + m_pane->controls(),
                       {PushButton2, PushButton3});
    for (QLineEdit *box : {Text1, Text2})
        box->installEventFilter(this);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        auto *box = static_cast<QLineEdit *>(watched);
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    // The program ends at once after this; the keyring gets the password first.
    m_credentials->settle();
    Q_EMIT unloaded();
}

void Form1::PushButton11_Click()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton11_Click"));
    trap(100, [] {
        MsgBox(QStringLiteral("Having problems connecting? Make sure you have the latest version by downloading from ")
               + QLatin1String(DownloadAddress) + QString(12, QLatin1Char('\r')));
    });
}

void Form1::PushButton4_Click()
{
    ::PushButton4_Click(this, list(), m_mailStore, *m_target);
}

void Form1::PushButton8_Click()
{
    ShowLargerView(list(), this);
}

void Form1::createComponent()
{
    m_component = new ImapClient(this);
    const QString caFile = ConnectionOverrides::fromEnvironment().caFile;
    if (!caFile.isEmpty())
        m_component->setExtraCaCertificates(QSslCertificate::fromPath(caFile, QSsl::Pem));

    MainWindowParts parts;
    parts.window = this;
    parts.PushButton1 = PushButton1;
    parts.PushButton2 = PushButton2;
    parts.PushButton3 = PushButton3;
    parts.Combo2 = Combo2;
    parts.Text1 = Text1;
    parts.Text2 = Text2;
    parts.ProgressBar1 = ProgressBar1;
    parts.list = &list();
    parts.mailStore = &m_mailStore;
    parts.oChilkat = m_oChilkat.get();
    parts.component = m_component;
    parts.bRuleMatched = &bRuleMatched;
    m_retrieval = std::make_unique<Retrieval>(parts);
}

void Form1::setStatus(const QString &text)
{
    ProgressBar1->setText(text);
}
