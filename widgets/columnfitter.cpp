#include "columnfitter.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

namespace {

QHeaderView *headerOf(QAbstractItemView *view)
{
    if (auto *table = qobject_cast<QTableView *>(view))
        return table->horizontalHeader();
    if (auto *tree = qobject_cast<QTreeView *>(view))
        return tree->header();
    return nullptr;
}

} // namespace

ColumnFitter *ColumnFitter::attach(QAbstractItemView *view, const QVector<int> &widths, Cells cells, Stretch stretch)
{
    QHeaderView *header = headerOf(view);
    if (!header)
        return nullptr;
    auto *fitter = new ColumnFitter(view, header, widths, cells, stretch);
    fitter->refit();
    return fitter;
}

ColumnFitter::ColumnFitter(QAbstractItemView *view, QHeaderView *header, const QVector<int> &widths, Cells cells,
                           Stretch stretch)
    : QObject(view), m_view(view), m_header(header), m_widths(widths), m_cells(cells), m_stretch(stretch)
{
    // The fitter sets every width itself; a stretched last section would undo it.
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setStretchLastSection(false);
    m_view->viewport()->installEventFilter(this);
    m_header->installEventFilter(this);
    if (auto *tree = qobject_cast<QTreeView *>(view)) {
        connect(tree, &QTreeView::expanded, this, &ColumnFitter::scheduleRefit);
        connect(tree, &QTreeView::collapsed, this, &ColumnFitter::scheduleRefit);
    }
}

void ColumnFitter::watchModel()
{
    QAbstractItemModel *model = m_view->model();
    if (!model || model == m_watchedModel)
        return;
    if (m_watchedModel)
        disconnect(m_watchedModel, nullptr, this, nullptr);
    m_watchedModel = model;
    connect(model, &QAbstractItemModel::headerDataChanged, this, &ColumnFitter::scheduleRefit);
    connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::scheduleRefit);
    connect(model, &QAbstractItemModel::columnsInserted, this, &ColumnFitter::scheduleRefit);
    if (m_cells == TitlesAndCells) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFitter::scheduleRefit);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnFitter::scheduleRefit);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ColumnFitter::scheduleRefit);
    }
}

void ColumnFitter::scheduleRefit()
{
    // Models change in bursts; one layout after the burst is enough.
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        refit();
    });
}

bool ColumnFitter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show
        || (watched == m_header && event->type() == QEvent::StyleChange)
        || (watched == m_header && event->type() == QEvent::FontChange))
        scheduleRefit();
    return QObject::eventFilter(watched, event);
}

void ColumnFitter::refit()
{
    watchModel();
    QAbstractItemModel *model = m_view->model();
    if (!model)
        return;
    m_header->ensurePolished();
    const int columns = model->columnCount();
    QVector<int> needs(columns, 0);
    int total = 0;
    int shown = 0;
    for (int column = 0; column < columns; ++column) {
        if (m_header->isSectionHidden(column))
            continue;
        int need = qMax(m_widths.value(column, 0), m_header->sectionSizeHint(column));
        if (m_cells == TitlesAndCells)
            need = qMax(need, m_view->sizeHintForColumn(column));
        needs[column] = need;
        total += need;
        ++shown;
    }
    const int spare = qMax(0, m_view->viewport()->width() - total);
    int last = -1;
    for (int column = 0; column < columns; ++column)
        last = m_header->isSectionHidden(column) ? last : column;
    for (int column = 0, given = 0; column < columns; ++column) {
        if (m_header->isSectionHidden(column))
            continue;
        int width = needs.at(column);
        if (m_stretch == StretchAll) {
            // The last column takes what integer division leaves over.
            ++given;
            width += given == shown ? spare - (spare / shown) * (shown - 1) : spare / shown;
        } else if (m_stretch == StretchLast && column == last) {
            width += spare;
        }
        if (m_header->sectionSize(column) != width)
            m_header->resizeSection(column, width);
    }
}
