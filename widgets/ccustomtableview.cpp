#include "ccustomtableview.h"

#include <QFontMetrics>
#include <QHelpEvent>

CCustomTableView::CCustomTableView(QWidget *parent) : TFlatScrollArea<QTableView>(parent) {}

bool CCustomTableView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const int width = columnWidth(index.column());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (fontMetrics().elidedText(text, Qt::ElideRight, width) == text)
            return true;
    }
    return QAbstractItemView::viewportEvent(event);
}
