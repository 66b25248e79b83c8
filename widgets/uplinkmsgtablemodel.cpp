#include "uplinkmsgtablemodel.h"

#include <QIcon>
#include <QPixmap>

uplinkMsgTableModel::uplinkMsgTableModel(const QString &title, QObject *parent)
    : QAbstractTableModel(parent)
    , m_title(title)
{
}

int uplinkMsgTableModel::rowCount(const QModelIndex &parent) const
{
    // A table model has no children; the tester asks with valid parents too.
    if (parent.isValid())
        return 0;
    return (m_items.size() + 1) / 2;
}

int uplinkMsgTableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return 4;
}

QVariant uplinkMsgTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();

    const int item = 2 * index.row() + (index.column() >= 2 ? 1 : 0);
    const bool exists = item < m_items.size();

    switch (role) {
    case Qt::DisplayRole:
        if (exists && (index.column() == 0 || index.column() == 2))
            return m_items.at(item).first;
        break;
    case Qt::DecorationRole:
        if (exists && (index.column() == 1 || index.column() == 3) && m_items.at(item).second)
            return QIcon(QPixmap(QStringLiteral(":/icons/status")));
        break;
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        break;
    }
    return QVariant();
}

QVariant uplinkMsgTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
    case 2:
        return m_title;
    case 1:
    case 3:
        return QStringLiteral("Enable");
    default:
        return QVariant();
    }
}

Qt::ItemFlags uplinkMsgTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

void uplinkMsgTableModel::setItems(QVector<QPair<QString, bool>> items)
{
    m_items = std::move(items);
}

void uplinkMsgTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

QString uplinkMsgTableModel::title() const
{
    return m_title;
}
