#include "sigwidget.h"

#include <QMouseEvent>

SigWidget::SigWidget(QWidget *parent)
    : QWidget(parent)
{
    // A plain QWidget subclass paints its style sheet background only when asked to.
    setAttribute(Qt::WA_StyledBackground, true);
}

void SigWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit SigWidgetPressed();
}
