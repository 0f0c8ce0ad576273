#include "export/form4.h"

#include "mail/errortrap.h"
#include "results/resultslist.h"
#include "results/resultsview.h"
#include "results/selectioncommands.h"
#include "support/messageseam.h"
#include "support/pointer.h"
#include "support/repaintpacer.h"
#include "support/startup.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

namespace {

// Fixed parts of the layout, in twips.
constexpr int ListLeft = 120;
constexpr int ListTop = 120;
constexpr int ListRightMargin = 330;
constexpr int ListBottomMargin = 3100;
constexpr int ControlWidth = 3000;
constexpr int ButtonHeight = 420;
constexpr int LabelHeight = 285;
constexpr int ColumnGap = 120;
constexpr int CentreOffset = 45;

int PixelsToTwips(int pixels)
{
    const int pixelsPerInch = std::max(1, TwipsToPixels(1440));
    return int(qint64(pixels) * 1440 / pixelsPerInch);
}

} // namespace

Form4::Form4(ResultsList &mainList, QWidget *owner) : QDialog(owner), m_mainList(mainList)
{
    new RepaintPacer(this);
    buildControls();
    m_list = std::make_unique<ResultsList>(m_view, Label1, Label2);
    m_commands = std::make_unique<SelectionCommands>(QStringLiteral("Form4"), *m_list, bRuleMatched,
                                                     [this] { return IsBusy(this); });
    wireHandlers();
    Form_Load();
}

Form4::~Form4() = default;

void Form4::buildControls()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral(" List In Larger View"));
    setSizeGripEnabled(true);
    m_view = new ResultsView(this);
    m_view->setObjectName(QStringLiteral("ListView1"));
    const auto label = [this](const char *name) {
        auto *made = new QLabel(this);
        made->setObjectName(QLatin1String(name));
        made->resize(TwipsToPixels(ControlWidth), TwipsToPixels(LabelHeight));
        return made;
    };
    Label1 = label("Label1");
    Label2 = label("Label2");
    const auto button = [this](const char *name, const QString &caption) {
        auto *made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        made->setAutoDefault(false);
        made->resize(TwipsToPixels(ControlWidth), TwipsToPixels(ButtonHeight));
        return made;
    };
    PushButton5 = button("PushButton5", QStringLiteral("Check All"));
    PushButton6 = button("PushButton6", QStringLiteral("Uncheck All"));
    PushButton9 = button("PushButton9", QStringLiteral("Check Emails Containing..."));
    PushButton10 = button("PushButton10", QStringLiteral("Check Emails Not Containing..."));
    PushButton7 = button("PushButton7", QStringLiteral("Clear List"));
    PushButton1 = button("PushButton1", QStringLiteral("Maximize This Window"));
    PushButton4 = button("PushButton4", QStringLiteral("< Back"));
}

void Form4::wireHandlers()
{
    connect(PushButton5, &QPushButton::clicked, this, [this] { m_commands->PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { m_commands->PushButton6_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [this] { m_commands->PushButton9_Click(); });
    connect(PushButton10, &QPushButton::clicked, this, [this] { m_commands->PushButton10_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(m_list.get(), &ResultsList::ItemCheck, this, [this] { m_commands->ListView1_ItemCheck(); });
    for (QWidget *w : std::initializer_list<QWidget *>{PushButton1, PushButton4, PushButton5, PushButton6, PushButton7,
                                                        PushButton9, PushButton10, m_view, this})
        w->installEventFilter(this);
}

void Form4::Form_Load()
{
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("Form_Load"));
    trap(100, [this] { ApplySystemFaceColor(this); });
    trap(101, [this] { setWindowIcon(QApplication::windowIcon()); });
    trap(102, [this] {
        const QString hand = ProgramFolder() + QStringLiteral("/HAND-M.CUR");
        if (FileExists(hand))
            LoadHandPointer(this, hand);
    });
    trap(103, [this] { m_list->createColumns({1300, 1600, 1600, 1600, 1600, 0}); });
    trap(104, [this] {
        m_list->clear();
        m_view->update();
    });
    trap(105, [this] { m_list->UpdateCounters(false); });
    trap(106, [this] { bRuleMatched = false; });
    trap(107, [this] {
        for (QLabel *counter : {Label1, Label2}) {
            QPalette palette = counter->palette();
            palette.setColor(QPalette::Window, Qt::white);
            counter->setPalette(palette);
            counter->setAutoFillBackground(true);
        }
    });
}

void Form4::PushButton1_Click()
{
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton1_Click"));
    trap(100, [this] { setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized); });
}

void Form4::PushButton4_Click()
{
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton4_Click"));
    trap(100, [this] { accept(); });
}

void Form4::PushButton7_Click()
{
    // This list and its counters as on the main window, then the main list: that one too is
    // left alone while its window shows the busy pointer (a running command relies on its rows).
    m_commands->PushButton7_Click();
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton7_Click"));
    trap(102, [this] {
        if (!IsBusy(m_mainList.view()->window()))
            m_mainList.clear();
    });
}

void Form4::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void Form4::Form_Resize()
{
    // A window smaller than the margins (minimized, say) gets sizes and positions clamped at zero.
    const auto px = [](int twips) { return TwipsToPixels(twips); };
    const auto place = [this](QWidget *control, int x, int yFromBottom) {
        control->move(std::max(0, x), std::max(0, height() - yFromBottom));
    };
    const int listWidth = std::max(0, width() - px(ListRightMargin));
    const int listHeight = std::max(0, height() - px(ListBottomMargin));
    m_view->setGeometry(px(ListLeft), px(ListTop), listWidth, listHeight);
    const int listTwips = PixelsToTwips(listWidth);
    const int wide = listTwips / 5;
    m_list->setColumnWidthsTwips({listTwips / 6, wide, wide, wide, wide, 0});

    const int left = std::max(0, width() / 2 - PushButton7->width() / 2 - px(CentreOffset));
    place(Label1, left, px(2865));
    const int right = Label1->x() + Label1->width() + px(ColumnGap);
    place(Label2, right, px(2865));
    place(PushButton5, left, px(2505));
    place(PushButton6, right, px(2505));
    place(PushButton9, left, px(1995));
    place(PushButton10, right, px(1995));
    place(PushButton7, left, px(1485));
    place(PushButton1, right, px(1485));
    place(PushButton4, left, px(975));
    m_list->UpdateCounters(false);
}

void Form4::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void Form4::Form_Unload()
{
    // By position, and only the rows both lists still have.
    const int rows = std::min(m_list->rowCount(), m_mainList.rowCount());
    for (int k = 1; k <= rows; ++k)
        m_mainList.setChecked(k, m_list->isChecked(k));
}

bool Form4::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Enter && !IsBusy(this))
        SetPointer(this, qobject_cast<QPushButton *>(watched) ? PointerShape::Hand : PointerShape::Default);
    return QDialog::eventFilter(watched, event);
}

void ShowLargerView(ResultsList &mainList, QWidget *owner)
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton8_Click"));
    // Created here and gone when this returns: every opening starts from the current main list.
    std::unique_ptr<Form4> form;
    trap(100, [&] {
        form = std::make_unique<Form4>(mainList, owner);
        ResultsList &copy = form->list();
        const int rows = mainList.rowCount();
        for (int r = 1; r <= rows; ++r) {
            const int row = copy.appendRow(mainList.text(r, 0));
            for (int column = 1; column <= 5; ++column)
                copy.setText(row, column, mainList.text(r, column));
            copy.setChecked(row, mainList.isChecked(r));
        }
    });
    if (form) {
        trap(101, [&] { form->setWindowState(Qt::WindowMaximized); });
        trap(102, [&] { MessageSeam::current().execDialog(*form); });
    }
    trap(103, [&] { mainList.UpdateCounters(false); });
}
