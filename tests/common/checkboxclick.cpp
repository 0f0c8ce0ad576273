#include "tests/common/checkboxclick.h"

#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeWidget>

void ClickCheckBox(QTreeWidget *view, int row)
{
    QTreeWidgetItem *item = view->topLevelItem(row - 1);
    view->scrollToItem(item);
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualItemRect(item);
    option.features = QStyleOptionViewItem::HasCheckIndicator;
    const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}
