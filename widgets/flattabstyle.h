#pragma once

#include <QProxyStyle>
#include <QSize>

class QStyleOptionTab;

// Paints tab bar tabs as flat labels of one size: an outlined shape, blue
// with white text when selected, white with black text otherwise. A derived
// style gives the shape.
class FlatTabStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit FlatTabStyle(const QSize &tabSize, QStyle *base = nullptr);
    ~FlatTabStyle() override;

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;

protected:
    // Draws the tab's outline and fill with the pen and brush already set;
    // returns the rectangle the text is centred in.
    virtual QRect drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const = 0;

private:
    QSize m_tabSize;
};
