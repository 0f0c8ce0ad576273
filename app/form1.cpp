#include "app/form1.h"

#include "app/connectcommand.h"
#include "app/credentialstore.h"
#include "app/openingsize.h"
#include "app/settingsstore.h"
#include "export/exportcommand.h"
#include "export/largerviewcommand.h"
#include "export/xlsxtarget.h"
#include "imap/connectionoverrides.h"
#include "imap/imapclient.h"
#include "results/captions.h"
#include "results/listinghandler.h"
#include "results/resultslist.h"
#include "results/resultspane.h"
#include "results/resultsview.h"
#include "results/retrieval.h"
#include "results/sessionholder.h"
#include "support/apperror.h"
#include "support/cmdoutput.h"
#include "support/datetext.h"
#include "support/errortrap.h"
#include "support/messageseam.h"
#include "support/pointer.h"
#include "support/repaintpacer.h"
#include "support/startup.h"
#include "support/textprogressbar.h"
#include "support/vbnumber.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr const char *DownloadAddress = "https://quorvane.app/download";

// Group boxes hold a row or three: their frames need little room around them.
template <typename T>
T *compact(T *layout)
{
    const int margin = TwipsToPixels(90);
    layout->setContentsMargins(margin, margin, margin, margin);
    return layout;
}

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

Qt::CheckState checkStateOf(qint16 value)
{
    switch (value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        throw AppError(QStringLiteral("Invalid property value"));
    }
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

SelectionCommands &Form1::selection() const
{
    return m_pane->commands();
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
    PushButton1 = named(new QPushButton(SignedOutCaption), "PushButton1");
    PushButton11 = named(new QPushButton(QStringLiteral("Help")), "PushButton11");

    lblLabels[0]->setBuddy(Text1);
    lblLabels[1]->setBuddy(Text2);
    auto *login = compact(new QGridLayout(Frame5));
    login->addWidget(lblLabels[0], 0, 0);
    login->addWidget(Text1, 0, 1);
    login->addWidget(Check1, 0, 2);
    login->addWidget(lblLabels[1], 1, 0);
    login->addWidget(Text2, 1, 1);
    login->addWidget(Check2, 1, 2);
    auto *signIn = new QHBoxLayout;
    signIn->addWidget(PushButton1);
    signIn->addWidget(PushButton11);
    login->addLayout(signIn, 2, 2);

    Frame3 = named(new QGroupBox(QStringLiteral("Folder")), "Frame3");
    Combo2 = named(new QComboBox, "Combo2");
    compact(new QVBoxLayout(Frame3))->addWidget(Combo2);

    Frame4 = named(new QGroupBox(QStringLiteral(
                       "Optional: Filter (Only messages containing characters below will be added to the list)")),
                   "Frame4");
    txtSearch = named(new QLineEdit, "txtSearch");
    compact(new QVBoxLayout(Frame4))->addWidget(txtSearch);

    PushButton3 = named(new QPushButton(GetAllCaption), "PushButton3");
    PushButton2 = named(new QPushButton(GetSomeCaption), "PushButton2");
    PushButton8 = named(new QPushButton(QStringLiteral("Show List In Larger View")), "PushButton8");
    PushButton4 = named(new QPushButton(QStringLiteral("3. Send To Excel")), "PushButton4");
    ProgressBar1 = named(new TextProgressBar, "ProgressBar1");
    ProgressBar1->setText(ProgressBarCaption);

    const int gap = TwipsToPixels(120);
    // Halves of the column: the pairs line up with each other and with the full-width rows, and
    // a pair whose right half is hidden (the Stop button's run) spans the row.
    auto pair = [gap](QWidget *left, QWidget *right) {
        auto *row = new QHBoxLayout;
        row->setSpacing(gap);
        row->addWidget(left, 1);
        row->addWidget(right, 1);
        return row;
    };
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(gap, gap, gap, gap);
    column->addWidget(Frame5);
    column->addWidget(Frame3);
    column->addWidget(Frame4);
    column->addLayout(pair(PushButton3, PushButton2));
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
    resize(MainWindowOpeningSize(layout(), m_pane->ListView1));

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
    for (QLineEdit *box : {Text1, Text2}) {
        box->installEventFilter(this);
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (PushButton1->text() == SignedOutCaption)
                PushButton1->click();
        });
    }
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

void Form1::PushButton1_Click()
{
    if (m_connect)
        m_connect->PushButton1_Click();
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
    ExportCommand(this, list(), m_mailStore, *m_target).PushButton4_Click();
}

void Form1::PushButton8_Click()
{
    LargerViewCommand(list(), this).PushButton8_Click();
}

void Form1::createComponent()
{
    m_component = new ImapClient(this);
    m_component->setExtraCaCertificates(ConnectionOverrides::fromEnvironment().caCertificates());

    MainWindowParts parts;
    parts.window = this;
    parts.PushButton1 = PushButton1;
    parts.PushButton2 = PushButton2;
    parts.PushButton3 = PushButton3;
    parts.Combo2 = Combo2;
    parts.Check1 = Check1;
    parts.Text1 = Text1;
    parts.Text2 = Text2;
    parts.ProgressBar1 = ProgressBar1;
    parts.list = &list();
    parts.mailStore = &m_mailStore;
    parts.oChilkat = m_oChilkat.get();
    parts.component = m_component;
    parts.bRuleMatched = &bRuleMatched;
    m_retrieval = std::make_unique<Retrieval>(parts);
    m_connect = std::make_unique<ConnectCommand>(parts, *m_credentials, *m_retrieval);
}

void Form1::Form_Load()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    trap(100, [] { CmdOutput::CheckOnline(); });
    trap(102, [this] { ApplySkin(this); });
    trap(104, [this] {
        setWindowTitle(QLatin1String(ProductTitle));
        setWindowIcon(QApplication::windowIcon());
        SetApplicationTitle();
    });
    trap(106, [this] { LoadProgramHandPointer(this); });
    trap(108, [this] {
        list().createColumns(MainListColumnTwips);
        // The last visible column takes the width the window gives; the user still sizes the rest.
        m_pane->ListView1->horizontalHeader()->setStretchLastSection(true);
    });
    trap(110, [this] {
        list().clear();
        m_pane->ListView1->update();
    });
    trap(112, [this] { createComponent(); });

    bool remember = true; // a value that cannot be read counts as "remember"
    trap(114, [&] { remember = TextToInt16(GetSetting(QStringLiteral("StayConnected"), QStringLiteral("0"))) != 0; });
    trap(115, [&] {
        if (remember) {
            // Fields first: checking the box stores what they hold, which is then no change.
            Text1->setText(GetSetting(QStringLiteral("User"), QString()));
            Text2->setText(m_credentials->restore());
            Check1->setChecked(true);
        } else {
            Check1->setChecked(false);
            m_credentials->dropLeftover();
        }
    });
    trap(116, [this] { list().UpdateCounters(false); });
    trap(118, [this] { bRuleMatched = false; });
    trap(120, [this] { m_pane->paintCountersWhite(); });
    trap(122, [this] { Check2->setEnabled(Check1->isChecked()); });
    trap(124, [this] {
        const qint16 value = TextToInt16(GetSetting(QStringLiteral("AutoConnect"), QStringLiteral("0")));
        const Qt::CheckState state = checkStateOf(value);
        Check2->setTristate(state == Qt::PartiallyChecked);
        Check2->setCheckState(state);
    });
    trap(126, [this] {
        if (Check2->checkState() == Qt::Checked)
            PushButton1_Click();
    });
}

void Form1::Check1_Click()
{
    SaveSetting(QStringLiteral("StayConnected"), Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (Check1->isChecked()) {
        Check2->setEnabled(true);
        // The password is kept only for a user who asked to be remembered, so it is stored
        // from the moment they ask.
        SaveSetting(QStringLiteral("User"), Text1->text());
        m_credentials->store(Text2->text());
        return;
    }
    Check2->setChecked(false);
    Check2->setEnabled(false);
    Text1->clear();
    Text2->clear();
    // Unchecking erases the stored sign-in even when the fields were already empty.
    m_credentials->erase();
}

void Form1::Check2_Click()
{
    SaveSetting(QStringLiteral("AutoConnect"),
                Check2->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void Form1::Text1_Change()
{
    SaveSetting(QStringLiteral("User"), Text1->text());
}

void Form1::Text2_Change()
{
    if (Check1->isChecked())
        m_credentials->store(Text2->text());
}

void Form1::Combo2_Click(int index)
{
    if (index >= 0)
        SaveSetting(QStringLiteral("Combo2"), QString::number(index));
}
