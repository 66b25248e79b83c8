#pragma once

#include "flattabstyle.h"

// Draws the dongle tabs as slanted flat labels, 100 x 28 unless the text
// needs more.
class MyTabStyle : public FlatTabStyle
{
    Q_OBJECT
public:
    MyTabStyle();

protected:
    QRect drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const override;
    QMargins shapeMargins() const override;
};
