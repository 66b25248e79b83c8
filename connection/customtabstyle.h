#pragma once

#include <QProxyStyle>

// Paints the connection page's west tabs as flat boxes of one size, with the
// title written one letter per line.
class CustomTabStyle : public QProxyStyle
{
    Q_OBJECT

public:
    CustomTabStyle();
    ~CustomTabStyle() override;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
};
