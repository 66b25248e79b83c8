#pragma once

#include <QTableView>

#include "tflatscrollarea.h"

// Table view that shows a cell's tool tip only when the cell's text is cut.
class CCustomTableView : public TFlatScrollArea<QTableView>
{
    Q_OBJECT

public:
    explicit CCustomTableView(QWidget *parent = nullptr);

protected:
    bool viewportEvent(QEvent *event) override;
};
