#include "windowprobe.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>
#include <QProgressBar>
#include <QSaveFile>

namespace {

QJsonArray globalRect(const QWidget *widget, const QRect &local)
{
    const QPoint origin = widget->mapToGlobal(local.topLeft());
    return {origin.x(), origin.y(), local.width(), local.height()};
}

// The rows an item view shows, with where they are on the screen and the texts of all their
// columns (a combo box's popup list, the results list).
QJsonArray visibleRows(const QAbstractItemView *view)
{
    QJsonArray rows;
    const QAbstractItemModel *model = view->model();
    if (!model)
        return rows;
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        const QRect rect = view->visualRect(index).intersected(view->viewport()->rect());
        QJsonArray cells;
        for (int column = 0; column < model->columnCount(view->rootIndex()); ++column)
            cells.append(model->index(row, column, view->rootIndex()).data().toString());
        QJsonObject entry{{QStringLiteral("text"), index.data().toString()}, {QStringLiteral("cells"), cells}};
        if (!rect.isEmpty())
            entry.insert(QStringLiteral("rect"), globalRect(view->viewport(), rect));
        const QVariant check = index.data(Qt::CheckStateRole);
        if (check.isValid())
            entry.insert(QStringLiteral("checked"), check.toInt() == Qt::Checked);
        rows.append(entry);
    }
    return rows;
}

QJsonObject describe(const QWidget *widget)
{
    QJsonObject entry{{QStringLiteral("name"), widget->objectName()},
                      {QStringLiteral("class"), QString::fromLatin1(widget->metaObject()->className())},
                      {QStringLiteral("rect"), globalRect(widget, widget->rect())},
                      {QStringLiteral("enabled"), widget->isEnabled()}};
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
        // A password box gives its length only: the probe file is no place for a secret.
        if (edit->echoMode() == QLineEdit::Normal)
            entry.insert(QStringLiteral("text"), edit->text());
        else
            entry.insert(QStringLiteral("length"), edit->text().size());
        entry.insert(QStringLiteral("echoMode"),
                     QString::fromLatin1(QMetaEnum::fromType<QLineEdit::EchoMode>().valueToKey(edit->echoMode())));
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        entry.insert(QStringLiteral("text"), button->text());
        if (button->isCheckable())
            entry.insert(QStringLiteral("checked"), button->isChecked());
    } else if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        entry.insert(QStringLiteral("text"), label->text());
    } else if (const auto *bar = qobject_cast<const QProgressBar *>(widget)) {
        entry.insert(QStringLiteral("text"), bar->text());
    } else if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        entry.insert(QStringLiteral("text"), combo->currentText());
        entry.insert(QStringLiteral("index"), combo->currentIndex());
        entry.insert(QStringLiteral("count"), combo->count());
    } else if (const auto *view = qobject_cast<const QAbstractItemView *>(widget)) {
        entry.insert(QStringLiteral("rows"), visibleRows(view));
    }
    return entry;
}

QJsonArray iconSizes(const QIcon &icon)
{
    QJsonArray sizes;
    for (const QSize &size : icon.availableSizes())
        sizes.append(size.width());
    return sizes;
}

QJsonObject describeWindow(const QWidget *window)
{
    QJsonArray widgets;
    for (const QWidget *child : window->findChildren<QWidget *>()) {
        if (child->isVisible())
            widgets.append(describe(child));
    }
    return {{QStringLiteral("name"), window->objectName()},
            {QStringLiteral("class"), QString::fromLatin1(window->metaObject()->className())},
            {QStringLiteral("title"), window->windowTitle()},
            {QStringLiteral("rect"), globalRect(window, window->rect())},
            {QStringLiteral("iconSizes"), iconSizes(window->windowIcon())},
            {QStringLiteral("text"), qobject_cast<const QMessageBox *>(window)
                                         ? static_cast<const QMessageBox *>(window)->text()
                                         : QString()},
            {QStringLiteral("widgets"), widgets}};
}

} // namespace

WindowProbe::WindowProbe(const QString &path, const QString &closeClass, QObject *parent)
    : QObject(parent), m_path(path), m_closeClass(closeClass)
{
    connect(&m_timer, &QTimer::timeout, this, &WindowProbe::dump);
    m_timer.start(100);
}

void WindowProbe::dump()
{
    QJsonArray windows;
    QList<QWidget *> toClose;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        windows.append(describeWindow(window));
        if (QLatin1String(window->metaObject()->className()) == m_closeClass)
            toClose.append(window);
    }
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("windows"), windows}}).toJson();
    if (json != m_last) {
        // Written whole or not at all, so the test never reads half a state.
        QSaveFile file(m_path);
        if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
            return;
        m_last = json;
    }
    // Only once the test can read that the window was there.
    for (QWidget *window : toClose)
        window->close();
}
