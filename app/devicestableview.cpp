#include "devicestableview.h"

#include <QHeaderView>

DevicesTableView::DevicesTableView(QWidget *parent) : CCustomTableView(parent)
{
}

void DevicesTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                   const QVector<int> &roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.parent() != rootIndex()
        || bottomRight.parent() != rootIndex()) {
        CCustomTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    if (!isVisible())
        return;
    // Only the part of the changed rows that can be seen is repainted: with
    // thousands of devices most changes are out of sight.
    const QRect visible = viewport()->rect();
    const int firstShown = rowAt(visible.top());
    if (firstShown < 0)
        return;
    int lastShown = rowAt(visible.bottom());
    if (lastShown < 0)
        lastShown = model()->rowCount(rootIndex()) - 1;
    const int first = qMax(topLeft.row(), firstShown);
    const int last = qMin(bottomRight.row(), lastShown);
    if (first > last)
        return;
    const int top = rowViewportPosition(first);
    const int bottom = rowViewportPosition(last) + rowHeight(last);
    viewport()->update(QRect(visible.left(), top, visible.width(), bottom - top));
}
