#include "treeexpansion.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <QTreeView>

namespace {

// Lives as a child of its view and forgets that the view is fully expanded
// as soon as the user collapses an item or the rows change.
class ExpansionWatch : public QObject
{
    Q_OBJECT

public:
    explicit ExpansionWatch(QTreeView *view) : QObject(view)
    {
        setObjectName(QStringLiteral("treeExpansionWatch"));
        connect(view, &QTreeView::collapsed, this, &ExpansionWatch::forget);
    }

    bool isFullyExpanded(const QAbstractItemModel *model) const { return m_expanded && model == m_model; }

    void expanded(QAbstractItemModel *model)
    {
        if (model != m_model) {
            if (m_model)
                m_model->disconnect(this);
            m_model = model;
            if (model) {
                connect(model, &QAbstractItemModel::modelReset, this, &ExpansionWatch::forget);
                connect(model, &QAbstractItemModel::rowsInserted, this, &ExpansionWatch::forget);
                connect(model, &QAbstractItemModel::rowsMoved, this, &ExpansionWatch::forget);
                connect(model, &QAbstractItemModel::layoutChanged, this, &ExpansionWatch::forget);
            }
        }
        m_expanded = true;
    }

private:
    void forget() { m_expanded = false; }

    QPointer<QAbstractItemModel> m_model;
    bool m_expanded = false;
};

} // namespace

namespace TreeExpansion {

void expandAll(QTreeView *view)
{
    auto *watch = view->findChild<ExpansionWatch *>(QStringLiteral("treeExpansionWatch"),
                                                     Qt::FindDirectChildrenOnly);
    if (watch && watch->isFullyExpanded(view->model()))
        return;
    view->expandAll();
    if (!watch)
        watch = new ExpansionWatch(view);
    watch->expanded(view->model());
}

} // namespace TreeExpansion

#include "treeexpansion.moc"
