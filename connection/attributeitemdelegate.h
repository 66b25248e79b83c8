#pragma once

#include <QFont>
#include <QHash>
#include <QSize>
#include <QStyledItemDelegate>

class QStyle;

// Draws the cells of the GATT views as a plain styled delegate does. Their
// size depends only on their text (the models give no font, icon, check or
// alignment), and fitting the columns to their cells measures a thousand
// rows, most of them repeating a UUID, a description or a property, and
// every fit after a discovery or a notification measures the same texts
// again: each text is laid out once while the view's font and style stay.
class AttributeItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    mutable QHash<QString, QSize> m_sizes;
    // What the known sizes were measured with.
    mutable QFont m_font;
    mutable const QStyle *m_style = nullptr;
    mutable QSize m_decorationSize;
};
