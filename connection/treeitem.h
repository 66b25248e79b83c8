#pragma once

#include "attributeinfo.h"

#include <QVector>

// One node of the attribute tree. A node made with a parent joins the end of
// its children; the model owns every node, a node never deletes its children.
class TreeItem
{
public:
    explicit TreeItem(const AttributeInfo &data, TreeItem *parent = nullptr);

    TreeItem *child(int row) const;
    int childCount() const { return m_children.size(); }
    int columnCount() const;
    AttributeInfo &data() { return m_data; }
    const AttributeInfo &data() const { return m_data; }
    TreeItem *parentItem() const { return m_parent; }
    int row() const { return m_row; }
    void clearChildren() { m_children.clear(); }

private:
    QVector<TreeItem *> m_children;
    AttributeInfo m_data;
    TreeItem *m_parent;
    // Children are only ever appended, so the position is known at birth;
    // looking it up would make every parent() of a large service linear.
    int m_row = 0;
};
