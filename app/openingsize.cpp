#include "app/openingsize.h"

#include "results/captions.h"
#include "results/resultslist.h"
#include "support/datetext.h"

#include <QAbstractItemView>
#include <QLayout>
#include <QScreen>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <algorithm>

namespace {

constexpr int OpeningListRows = 15;
constexpr int WindowWidthTwips = 8040; // the narrowest the window opens

// The height of the list showing `rows` check-box rows under its header, as the style draws them.
int listHeight(const QAbstractItemView *view, int rows)
{
    QStyleOptionHeader header;
    header.initFrom(view);
    header.text = QStringLiteral("From");
    QStyleOptionViewItem row;
    row.initFrom(view);
    row.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    row.text = header.text;
    const QStyle *style = view->style();
    return style->sizeFromContents(QStyle::CT_HeaderSection, &header, QSize(), view).height()
        + rows * style->sizeFromContents(QStyle::CT_ItemViewItem, &row, QSize(), view).height()
        + 2 * view->frameWidth();
}

// The width of the list with its columns as set and the last one, the date, showing a long date
// beside the scroll bar.
int listWidth(const QAbstractItemView *view)
{
    int columns = 0;
    for (int width : MainListColumnTwips.mid(0, MainListColumnTwips.size() - 2))
        columns += TwipsToPixels(width);
    const QStyle *style = view->style();
    const int textMargins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    int date = 0;
    for (int month = 1; month <= 12; ++month) // month names differ in width
        date = std::max(date, view->fontMetrics().horizontalAdvance(
                                  DateToText(QDateTime(QDate(2000, month, 28), QTime(22, 58, 58)))));
    return columns + date + textMargins
        + style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view) + 2 * view->frameWidth();
}

} // namespace

QSize MainWindowOpeningSize(const QLayout *column, const QAbstractItemView *list)
{
    const QSize listHint = column->itemAt(column->indexOf(list))->sizeHint();
    const QMargins margins = column->contentsMargins();
    const int height = column->sizeHint().height() - listHint.height() + listHeight(list, OpeningListRows);
    const int width = std::max(TwipsToPixels(WindowWidthTwips), margins.left() + listWidth(list) + margins.right());
    const QRect room = list->screen()->availableGeometry();
    const int frame = TwipsToPixels(600);
    return {std::min(width, room.width()), std::min(height, room.height() - frame)};
}
