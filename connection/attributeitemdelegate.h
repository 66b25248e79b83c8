#pragma once

#include <QHash>
#include <QSize>
#include <QStyledItemDelegate>

// Draws the cells of the GATT views as a plain styled delegate does. Their
// size depends only on their text (the models give no font, icon, check or
// alignment), and fitting the columns to their cells measures a thousand
// rows, most of them repeating a UUID, a description or a property: within
// one turn of the event loop each text is laid out once.
class AttributeItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    mutable QHash<QString, QSize> m_sizes;
    mutable bool m_forgetPosted = false;
};
