#include "advlisttabletablemodel.h"

#include "logger.h"
#include "logmanager.h"

#include <QIcon>

AdvListTableTableModel::AdvListTableTableModel(LogManager *logger, QObject *parent)
    : QAbstractTableModel(parent)
    , m_logger(logger)
{
}

AdvListTableTableModel::~AdvListTableTableModel() = default;

int AdvListTableTableModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: no row has children.
    return parent.isValid() ? 0 : m_items.size();
}

int AdvListTableTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant AdvListTableTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return QVariant();
    const advListItem &item = m_items.at(index.row());
    switch (role) {
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DisplayRole:
        if (index.column() == 0)
            return item.advIndex;
        if (index.column() == 1)
            return item.advType;
        return QVariant();
    case Qt::DecorationRole:
        if (index.column() == 2 && item.status == 1)
            return QIcon(QStringLiteral(":/icons/status"));
        return QVariant();
    default:
        return QVariant();
    }
}

bool AdvListTableTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}

QVariant AdvListTableTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QString::number(section + 1);
    switch (section) {
    case 0:
        return QStringLiteral("Adv Index");
    case 1:
        return QStringLiteral("Advertising Type");
    case 2:
        return QStringLiteral("Status");
    default:
        if (m_logger)
            m_logger->log(QStringLiteral("Device list error."), LogLevel::Debug);
        return QVariant();
    }
}

Qt::ItemFlags AdvListTableTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

int AdvListTableTableModel::addItem(advListItem item)
{
    beginResetModel();
    m_items.append(item);
    endResetModel();
    return 0;
}

void AdvListTableTableModel::updateItem(int row, advListItem item)
{
    if (row < 0 || row >= m_items.size()) {
        if (m_logger)
            m_logger->log(QStringLiteral("Update item failed."), LogLevel::Error);
        return;
    }
    m_items[row] = item;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int AdvListTableTableModel::removeItem(advListItem item)
{
    const int row = m_items.indexOf(item);
    if (row < 0)
        return -1;
    beginResetModel();
    m_items.remove(row);
    endResetModel();
    return 0;
}

void AdvListTableTableModel::clearItems()
{
    beginResetModel();
    m_items.clear();
    endResetModel();
}
