#include "treeitem.h"

#include "attributetext.h"

TreeItem::TreeItem(const AttributeInfo &data, TreeItem *parent)
    : m_data(data)
    , m_parent(parent)
{
    if (parent) {
        m_row = parent->m_children.size();
        parent->m_children.append(this);
    }
}

TreeItem *TreeItem::child(int row) const
{
    return row >= 0 && row < m_children.size() ? m_children.at(row) : nullptr;
}

int TreeItem::columnCount() const
{
    return AttributeText::ColumnCount;
}
