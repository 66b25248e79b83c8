#pragma once

#include <QScrollBar>

// Thin bar that floats over a view; the view's own (hidden) bar stays the
// source of range and value.
class CFlatScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    CFlatScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

public slots:
    void onRangeChanged(int min, int max);
};
