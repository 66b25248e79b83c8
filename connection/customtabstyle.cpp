#include "customtabstyle.h"

#include <QPainter>
#include <QStyleOptionTab>

namespace {
const QColor OutlineColour(0xc9, 0xc9, 0xc9);
const QColor SelectedColour(24, 158, 222);
const QSize TabSize(24, 90);
} // namespace

CustomTabStyle::CustomTabStyle()
    : QProxyStyle(static_cast<QStyle *>(nullptr))
{
}

CustomTabStyle::~CustomTabStyle() = default;

QSize CustomTabStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                       const QWidget *widget) const
{
    const QSize proxied = QProxyStyle::sizeFromContents(type, option, size, widget);
    return type == CT_TabBarTab ? TabSize : proxied;
}

void CustomTabStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
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
    if (!tab || tab->version < 3)
        return;

    const QRect rect = tab->rect.adjusted(-1, -1, 0, -1);
    const bool selected = tab->state & State_Selected;
    painter->save();
    painter->setPen(OutlineColour);
    painter->setBrush(selected ? SelectedColour : QColor(Qt::white));
    painter->drawRect(rect);
    painter->restore();

    painter->save();
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    painter->drawText(rect, Qt::AlignCenter, tab->text);
    painter->restore();
}
