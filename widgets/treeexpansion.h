#pragma once

class QTreeView;

// Keeps a tree view fully expanded without laying every row out again when
// it already is: QTreeView::expandAll() redoes the layout of the whole tree
// each time, which costs a page that expands on every value it shows more
// than the rest of its work together.
namespace TreeExpansion {

// As QTreeView::expandAll(), but does nothing when no item was collapsed
// and no row came or went since its last call on this view.
void expandAll(QTreeView *view);

} // namespace TreeExpansion
