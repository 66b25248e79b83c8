#pragma once

#include "ccustomtableview.h"

// The discovery table's view. Reports change rows many times a second; a
// changed row repaints only itself, and only when it can be seen, where the
// stock view would repaint the whole viewport for every row.
class DevicesTableView : public CCustomTableView
{
    Q_OBJECT

public:
    explicit DevicesTableView(QWidget *parent = nullptr);

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QVector<int> &roles = QVector<int>()) override;
};
