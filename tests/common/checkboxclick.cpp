#include "tests/common/checkboxclick.h"

#include <QAbstractItemView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

void ClickCheckBox(QAbstractItemView *view, int row)
{
    const QModelIndex cell = view->model()->index(row - 1, 0);
    view->scrollTo(cell);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(cell);
    option.features = QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}
