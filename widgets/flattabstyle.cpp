#include "flattabstyle.h"

#include <QPainter>
#include <QStyleOptionTab>
#include <QTabBar>

namespace {
const QColor OutlineColour(0xc9, 0xc9, 0xc9);
const QColor SelectedColour(0x18, 0x9e, 0xde);
// Between the text and the shape's edges or a tab button.
const int TextPadding = 4;

bool isVertical(QTabBar::Shape shape)
{
    return shape == QTabBar::RoundedWest || shape == QTabBar::RoundedEast || shape == QTabBar::TriangularWest
           || shape == QTabBar::TriangularEast;
}

// The room the tab's buttons take beside (or, on a vertical bar, below and above) the text.
QMargins buttonRoom(const QStyleOptionTab &tab)
{
    const bool vertical = isVertical(tab.shape);
    auto extent = [vertical](const QSize &button) {
        return button.isEmpty() ? 0 : (vertical ? button.height() : button.width()) + TextPadding;
    };
    const int leading = extent(tab.leftButtonSize);
    const int trailing = extent(tab.rightButtonSize);
    return vertical ? QMargins(0, leading, 0, trailing) : QMargins(leading, 0, trailing, 0);
}
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
    if (type == CT_TabBarTab) {
        const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
        if (!tab)
            return m_tabSize;
        // The text is drawn upright, line by line, whatever the bar's side.
        const QSize text = tab->fontMetrics.size(Qt::TextShowMnemonic, tab->text);
        const QMargins room = shapeMargins() + buttonRoom(*tab) + QMargins(TextPadding, 1, TextPadding, 1);
        return m_tabSize.expandedTo(text.grownBy(room));
    }
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
    drawTabShape(painter, *tab);
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    painter->drawText(subElementRect(SE_TabBarTabText, tab, widget), Qt::AlignCenter, tab->text);
    painter->restore();
}

QRect FlatTabStyle::subElementRect(SubElement element, const QStyleOption *option, const QWidget *widget) const
{
    const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
    if (!tab)
        return QProxyStyle::subElementRect(element, option, widget);
    const QRect inner = tab->rect.marginsRemoved(shapeMargins());
    const bool vertical = isVertical(tab->shape);
    // Buttons sit at the ends of the shape's inner part, clear of the text.
    auto buttonAt = [&](const QSize &size, bool leading) {
        if (size.isEmpty())
            return QRect();
        QRect place(QPoint(0, 0), size);
        place.moveCenter(inner.center());
        if (vertical)
            place.moveTop(leading ? inner.top() + TextPadding / 2 : inner.bottom() - TextPadding / 2 - size.height());
        else
            place.moveLeft(leading ? inner.left() + TextPadding / 2 : inner.right() - TextPadding / 2 - size.width());
        return place;
    };
    switch (element) {
    case SE_TabBarTabText:
        return inner.marginsRemoved(buttonRoom(*tab));
    case SE_TabBarTabLeftButton:
        return buttonAt(tab->leftButtonSize, true);
    case SE_TabBarTabRightButton:
        return buttonAt(tab->rightButtonSize, false);
    default:
        return QProxyStyle::subElementRect(element, option, widget);
    }
}
