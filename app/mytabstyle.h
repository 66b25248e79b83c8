#pragma once

#include "flattabstyle.h"

// Draws the dongle tabs as slanted flat labels, every tab 100 x 28.
class MyTabStyle : public FlatTabStyle
{
    Q_OBJECT
public:
    MyTabStyle();

protected:
    QRect drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const override;
};
