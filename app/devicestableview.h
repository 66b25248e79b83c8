#pragma once

#include "ccustomtableview.h"

// The discovery table's view. Reports change rows many times a second; a
// change repaints only the changed rows that can be seen, where the stock
// view would repaint the whole viewport for every change of several rows.
class DevicesTableView : public CCustomTableView
{
    Q_OBJECT

public:
    explicit DevicesTableView(QWidget *parent = nullptr);

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QVector<int> &roles = QVector<int>()) override;
};
