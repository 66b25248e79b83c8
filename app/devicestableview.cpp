#include "devicestableview.h"

DevicesTableView::DevicesTableView(QWidget *parent) : CCustomTableView(parent)
{
}

void DevicesTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                   const QVector<int> &roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.row() != bottomRight.row()
        || topLeft.parent() != rootIndex()) {
        CCustomTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    const QRect first = visualRect(topLeft);
    const QRect last = visualRect(bottomRight);
    const QRect row = first.united(last);
    const QRect visible = viewport()->rect();
    if (row.isValid() && row.intersects(visible))
        viewport()->update(QRect(visible.left(), row.top(), visible.width(), row.height()));
}
