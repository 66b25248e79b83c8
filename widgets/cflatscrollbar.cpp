#include "cflatscrollbar.h"

CFlatScrollBar::CFlatScrollBar(Qt::Orientation orientation, QWidget *parent) : QScrollBar(orientation, parent)
{
    setRange(0, 0);
    hide();
}

void CFlatScrollBar::onRangeChanged(int min, int max)
{
    Q_UNUSED(min)
    setRange(0, max);
    // A third of the range keeps the handle at about a quarter of the bar.
    setPageStep(max / 3);
    // Growing content never shows the bar; the next mouse entry does.
    if (max < 1)
        hide();
}
