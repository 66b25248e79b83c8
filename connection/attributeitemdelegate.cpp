#include "attributeitemdelegate.h"

#include <QWidget>

namespace {

// Values change with every notification; the sizes kept stay bounded.
constexpr int MaxKnownSizes = 8192;

} // namespace

QSize AttributeItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QVariant text = index.data(Qt::DisplayRole);
    if (text.userType() != QMetaType::QString)
        return QStyledItemDelegate::sizeHint(option, index);
    const QStyle *style = option.widget ? option.widget->style() : nullptr;
    if (style != m_style || option.decorationSize != m_decorationSize || option.font != m_font
        || m_sizes.size() >= MaxKnownSizes) {
        m_sizes.clear();
        m_style = style;
        m_decorationSize = option.decorationSize;
        m_font = option.font;
    }
    const QString key = text.toString();
    const auto known = m_sizes.constFind(key);
    if (known != m_sizes.constEnd())
        return *known;
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    m_sizes.insert(key, size);
    return size;
}
