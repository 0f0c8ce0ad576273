#include "export/form4.h"

#include "results/resultslist.h"
#include "results/resultspane.h"
#include "results/resultsview.h"
#include "support/errortrap.h"
#include "support/pointer.h"
#include "support/repaintpacer.h"
#include "support/startup.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
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

int pixelsToTwips(int pixels)
{
    const int pixelsPerInch = std::max(1, TwipsToPixels(1440));
    return int(qint64(pixels) * 1440 / pixelsPerInch);
}

} // namespace

Form4::Form4(ResultsList &mainList, QWidget *owner) : QDialog(owner), m_mainList(mainList)
{
    new RepaintPacer(this);
    buildControls();
    wireHandlers();
    Form_Load();
}

ResultsList &Form4::list() const
{
    return m_pane->list();
}

void Form4::buildControls()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral(" List In Larger View"));
    setSizeGripEnabled(true);
    m_pane = new ResultsPane(QStringLiteral("Form4"), this, bRuleMatched);
    const auto button = [this](const char *name, const QString &caption) {
        auto *made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        made->setAutoDefault(false);
        return made;
    };
    PushButton1 = button("PushButton1", QStringLiteral("Maximize This Window"));
    PushButton4 = button("PushButton4", QStringLiteral("< Back"));
    for (QWidget *label : {m_pane->Label1, m_pane->Label2})
        label->resize(TwipsToPixels(ControlWidth), TwipsToPixels(LabelHeight));
    for (QWidget *button : {m_pane->PushButton5, m_pane->PushButton6, m_pane->PushButton9, m_pane->PushButton10,
                            m_pane->PushButton7, PushButton1, PushButton4})
        button->resize(TwipsToPixels(ControlWidth), TwipsToPixels(ButtonHeight));
}

void Form4::wireHandlers()
{
    // Connected after the pane's own Clear List, so it runs second.
    connect(m_pane->PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    ShowPointerOnHover(this, QList<QWidget *>{PushButton1, PushButton4} + m_pane->controls());
}

void Form4::Form_Load()
{
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("Form_Load"));
    trap(100, [this] { ApplySystemFaceColor(this); });
    trap(101, [this] { setWindowIcon(QApplication::windowIcon()); });
    trap(102, [this] { LoadProgramHandPointer(this); });
    trap(103, [this] { list().createColumns({1300, 1600, 1600, 1600, 1600, 0}); });
    trap(104, [this] {
        list().clear();
        m_pane->ListView1->update();
    });
    trap(105, [this] { list().UpdateCounters(false); });
    trap(106, [this] { bRuleMatched = false; });
    trap(107, [this] { m_pane->paintCountersWhite(); });
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
    // The main list too, after this one: that one too is left alone while its window shows the
    // busy pointer (a running command relies on its rows).
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
    const ResultsPane &pane = *m_pane;
    const int listWidth = std::max(0, width() - px(ListRightMargin));
    const int listHeight = std::max(0, height() - px(ListBottomMargin));
    pane.ListView1->setGeometry(px(ListLeft), px(ListTop), listWidth, listHeight);
    const int listTwips = pixelsToTwips(listWidth);
    const int wide = listTwips / 5;
    list().setColumnWidthsTwips({listTwips / 6, wide, wide, wide, wide, 0});

    const int left = std::max(0, width() / 2 - pane.PushButton7->width() / 2 - px(CentreOffset));
    place(pane.Label1, left, px(2865));
    const int right = pane.Label1->x() + pane.Label1->width() + px(ColumnGap);
    place(pane.Label2, right, px(2865));
    place(pane.PushButton5, left, px(2505));
    place(pane.PushButton6, right, px(2505));
    place(pane.PushButton9, left, px(1995));
    place(pane.PushButton10, right, px(1995));
    place(pane.PushButton7, left, px(1485));
    place(PushButton1, right, px(1485));
    place(PushButton4, left, px(975));
    list().UpdateCounters(false);
}

void Form4::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void Form4::Form_Unload()
{
    // By position, and only the rows both lists still have.
    const int rows = std::min(list().rowCount(), m_mainList.rowCount());
    for (int k = 1; k <= rows; ++k)
        m_mainList.setChecked(k, list().isChecked(k));
}
