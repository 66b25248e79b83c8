#include "flattabstyle.h"

#include <QPainter>
#include <QStyleOptionTab>

namespace {
const QColor OutlineColour(0xc9, 0xc9, 0xc9);
const QColor SelectedColour(0x18, 0x9e, 0xde);
} // namespace

FlatTabStyle::FlatTabStyle(const QSize &tabSize, QStyle *base)
    : QProxyStyle(base)
    , m_tabSize(tabSize)
{
}

FlatTabStyle::~FlatTabStyle() = default;

QSize FlatTabStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                     const QWidget *widget) const
{
    if (type == CT_TabBarTab)
        return m_tabSize;
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void FlatTabStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                               const QWidget *widget) const
{
    if (element == CE_TabBarTab) {
        // The base style asks this style back for the shape and the label.
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    if (element != CE_TabBarTabLabel)
        return;
    const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
    if (!tab)
        return;

    const bool selected = tab->state & State_Selected;
    painter->save();
    painter->setPen(OutlineColour);
    painter->setBrush(selected ? SelectedColour : QColor(Qt::white));
    const QRect textRect = drawTabShape(painter, *tab);
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    painter->drawText(textRect, Qt::AlignCenter, tab->text);
    painter->restore();
}
