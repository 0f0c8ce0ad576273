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
#include "results/resultsview.h"
#include "results/retrieval.h"
#include "results/selectioncommands.h"
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
#include <QTreeWidget>
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
    m_list = std::make_unique<ResultsList>(ListView1, Label1, Label2);
    m_oChilkat = std::make_unique<SessionHolder>(
        [this](QString &From, QString &FromName, QString &FromAddress, QString &Subject, QString &ReceivedDate,
               QString &PlainTextBody, QString &HTMLTextBody, qint32 &) {
            AddListing(*m_list, m_mailStore, txtSearch->text(), From, FromName, FromAddress, Subject, ReceivedDate,
                       PlainTextBody, HTMLTextBody);
        },
        [this](qint32 &percent) {
            if (m_retrieval)
                m_retrieval->oChilkat_ScrapProgress(percent);
        });
    m_selection = std::make_unique<SelectionCommands>(QStringLiteral("Form1"), *m_list, bRuleMatched,
                                                      [this] { return IsBusy(this); });
    wireHandlers();
}

Form1::~Form1()
{
    m_credentials->settle();
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
    ListView1 = named(new ResultsView, "ListView1");
    Label1 = named(new QLabel(QStringLiteral("Total Number Of Emails: ")), "Label1");
    Label2 = named(new QLabel(QStringLiteral("Selected Emails: ")), "Label2");
    PushButton5 = button("PushButton5", QStringLiteral("Check All"));
    PushButton6 = button("PushButton6", QStringLiteral("Uncheck All"));
    PushButton9 = button("PushButton9", QStringLiteral("Check Emails Containing..."));
    PushButton10 = button("PushButton10", QStringLiteral("Check Emails Not Containing..."));
    PushButton7 = button("PushButton7", QStringLiteral("Clear List"));
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
    column->addWidget(ListView1, 1);
    column->addLayout(pair(Label1, Label2));
    column->addLayout(pair(PushButton5, PushButton6));
    column->addLayout(pair(PushButton9, PushButton10));
    column->addWidget(PushButton7);
    column->addWidget(PushButton4);
    column->addWidget(ProgressBar1);
    resize(TwipsToPixels(8040), TwipsToPixels(9405));

    for (QPushButton *b : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7,
                           PushButton8, PushButton9, PushButton10, PushButton11})
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
    connect(PushButton5, &QPushButton::clicked, this, [this] { m_selection->PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { m_selection->PushButton6_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [this] { m_selection->PushButton9_Click(); });
    connect(PushButton10, &QPushButton::clicked, this, [this] { m_selection->PushButton10_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { m_selection->PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(m_list.get(), &ResultsList::ItemCheck, this, [this] { m_selection->ListView1_ItemCheck(); });

    connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::stateChanged, this, [this] { Check2_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
    connect(Combo2, &QComboBox::currentIndexChanged, this, [this](int index) { Combo2_Click(index); });

    // Pointer feedback and select-all on focus.
    for (QWidget *w : std::initializer_list<QWidget *>{
             PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7, PushButton8,
             PushButton9, PushButton10, PushButton11, Frame5, Frame3, Frame4, ListView1, Text1, Text2, this})
        w->installEventFilter(this);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && (watched == Text1 || watched == Text2)) {
        auto *box = static_cast<QLineEdit *>(watched);
        // After the click that gave the focus has placed the cursor.
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
    } else if (event->type() == QEvent::Enter) {
        const bool retrievalButton = watched == PushButton2 || watched == PushButton3;
        const bool anyButton = qobject_cast<QPushButton *>(watched) != nullptr;
        if (retrievalButton)
            SetPointer(this, PointerShape::Hand);
        else if (!IsBusy(this))
            SetPointer(this, anyButton ? PointerShape::Hand : PointerShape::Default);
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
    ::PushButton4_Click(this, *m_list, m_mailStore, *m_target);
}

void Form1::PushButton8_Click()
{
    ShowLargerView(*m_list, this);
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
    parts.list = m_list.get();
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
