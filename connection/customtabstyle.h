#pragma once

#include "flattabstyle.h"

// Paints the connection page's west tabs as flat boxes of one size (taller
// where a title needs it), with the title written one letter per line.
class CustomTabStyle : public FlatTabStyle
{
    Q_OBJECT

public:
    CustomTabStyle();
    ~CustomTabStyle() override;

protected:
    QRect drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const override;
};
