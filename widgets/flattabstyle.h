#pragma once

#include <QMargins>

#include <QProxyStyle>
#include <QSize>

class QStyleOptionTab;

// Paints tab bar tabs as flat labels of one size: an outlined shape, blue
// with white text when selected, white with black text otherwise. A derived
// style gives the shape. A tab whose text and buttons need more room than
// that size grows to hold them.
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
    // The tab text's place: the shape's inner part beside the tab's buttons.
    QRect subElementRect(SubElement element, const QStyleOption *option, const QWidget *widget) const override;

protected:
    // Draws the tab's outline and fill with the pen and brush already set;
    // returns the shape's rectangle.
    virtual QRect drawTabShape(QPainter *painter, const QStyleOptionTab &tab) const = 0;
    // What of the shape's rectangle the text must keep clear of.
    virtual QMargins shapeMargins() const { return QMargins(); }

private:
    QSize m_tabSize;
};
