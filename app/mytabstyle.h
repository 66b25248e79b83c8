#pragma once

#include <QProxyStyle>

// Draws the dongle tabs as slanted flat labels: blue with white text when
// selected, white with black text otherwise, every tab 100 x 28.
class MyTabStyle : public QProxyStyle
{
    Q_OBJECT
public:
    MyTabStyle();

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
};
