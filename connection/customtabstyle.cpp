#include "customtabstyle.h"

#include <QPainter>
#include <QStyleOptionTab>

CustomTabStyle::CustomTabStyle()
    : FlatTabStyle(QSize(24, 90))
{
}

CustomTabStyle::~CustomTabStyle() = default;

QRect CustomTabStyle::drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const
{
    const QRect rect = tab.rect.adjusted(-1, -1, 0, -1);
    painter->drawRect(rect);
    return rect;
}
