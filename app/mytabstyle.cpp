#include "mytabstyle.h"

#include <QPainter>
#include <QPolygon>
#include <QStyleOptionTab>

MyTabStyle::MyTabStyle()
    : QProxyStyle()
{
}

QSize MyTabStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                   const QWidget *widget) const
{
    if (type == CT_TabBarTab)
        return QSize(100, 28);
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void MyTabStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    if (element == CE_TabBarTab) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    if (element != CE_TabBarTabLabel)
        return;
    const auto *tab = qstyleoption_cast<const QStyleOptionTab *>(option);
    if (!tab)
        return;

    const QRect rect = tab->rect;
    const bool selected = tab->state & QStyle::State_Selected;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPolygon shape;
    shape << QPoint(rect.left() + 20, rect.top()) << rect.topRight() << rect.bottomRight() << rect.bottomLeft();
    painter->setPen(QColor(QStringLiteral("#c9c9c9")));
    painter->setBrush(selected ? QColor(QStringLiteral("#189ede")) : QColor(Qt::white));
    painter->drawPolygon(shape);
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    painter->drawText(rect, Qt::AlignCenter, tab->text);
    painter->restore();
}
