#include "attributeitemdelegate.h"

#include <QTimer>

QSize AttributeItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QVariant text = index.data(Qt::DisplayRole);
    if (text.userType() != QMetaType::QString)
        return QStyledItemDelegate::sizeHint(option, index);
    const QString key = text.toString();
    const auto known = m_sizes.constFind(key);
    if (known != m_sizes.constEnd())
        return *known;
    // Forgotten after this turn: a font or style may change before the next,
    // and what a fit learnt is of no use to the one after it.
    if (!m_forgetPosted) {
        m_forgetPosted = true;
        QTimer::singleShot(0, this, [this] {
            m_sizes.clear();
            m_forgetPosted = false;
        });
    }
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    m_sizes.insert(key, size);
    return size;
}
