#include "mytabstyle.h"

#include <QPainter>
#include <QPolygon>
#include <QStyleOptionTab>

MyTabStyle::MyTabStyle()
    : FlatTabStyle(QSize(100, 28))
{
}

QRect MyTabStyle::drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const
{
    const QRect rect = tab.rect;
    painter->setRenderHint(QPainter::Antialiasing);
    QPolygon shape;
    shape << QPoint(rect.left() + 20, rect.top()) << rect.topRight() << rect.bottomRight() << rect.bottomLeft();
    painter->drawPolygon(shape);
    return rect;
}

QMargins MyTabStyle::shapeMargins() const
{
    // The slanted left edge.
    return QMargins(20, 0, 0, 0);
}
