#include "results/resultspane.h"

#include "results/resultslist.h"
#include "results/resultsview.h"
#include "results/selectioncommands.h"
#include "support/pointer.h"

#include <QLabel>
#include <QPushButton>

namespace {

template <typename T>
T *named(T *control, const char *name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

QPushButton *button(QWidget *window, const char *name, const QString &caption)
{
    auto *made = named(new QPushButton(caption, window), name);
    made->setAutoDefault(false);
    return made;
}

} // namespace

ResultsPane::ResultsPane(const QString &windowName, QWidget *window, bool &bRuleMatched)
    : QObject(window), ListView1(named(new ResultsView(window), "ListView1")),
      Label1(named(new QLabel(QStringLiteral("Total Number Of Emails: "), window), "Label1")),
      Label2(named(new QLabel(QStringLiteral("Selected Emails: "), window), "Label2")),
      PushButton5(button(window, "PushButton5", QStringLiteral("Check All"))),
      PushButton6(button(window, "PushButton6", QStringLiteral("Uncheck All"))),
      PushButton9(button(window, "PushButton9", QStringLiteral("Check Emails Containing..."))),
      PushButton10(button(window, "PushButton10", QStringLiteral("Check Emails Not Containing..."))),
      PushButton7(button(window, "PushButton7", QStringLiteral("Clear List"))),
      m_list(std::make_unique<ResultsList>(ListView1, Label1, Label2)),
      m_commands(
          std::make_unique<SelectionCommands>(windowName, *m_list, bRuleMatched, [window] { return IsBusy(window); }))
{
    ListView1->setAccessibleName(QStringLiteral("Emails"));

    SelectionCommands *commands = m_commands.get();
    connect(PushButton5, &QPushButton::clicked, this, [commands] { commands->PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [commands] { commands->PushButton6_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [commands] { commands->PushButton9_Click(); });
    connect(PushButton10, &QPushButton::clicked, this, [commands] { commands->PushButton10_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [commands] { commands->PushButton7_Click(); });
    connect(m_list.get(), &ResultsList::ItemCheck, this, [commands] { commands->ListView1_ItemCheck(); });
}

ResultsPane::~ResultsPane() = default;

QList<QWidget *> ResultsPane::controls() const
{
    return {ListView1, PushButton5, PushButton6, PushButton9, PushButton10, PushButton7};
}

void ResultsPane::paintCountersWhite()
{
    for (QLabel *counter : {Label1, Label2}) {
        QPalette palette = counter->palette();
        palette.setColor(QPalette::Window, Qt::white);
        counter->setPalette(palette);
        counter->setAutoFillBackground(true);
    }
}
