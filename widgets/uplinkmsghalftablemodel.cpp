#include "uplinkmsghalftablemodel.h"

#include <QIcon>
#include <QPixmap>

uplinkMsgHalfTableModel::uplinkMsgHalfTableModel(const QString &title, QObject *parent)
    : QAbstractTableModel(parent)
    , m_title(title)
{
}

int uplinkMsgHalfTableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_items.size();
}

int uplinkMsgHalfTableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return 2;
}

QVariant uplinkMsgHalfTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();

    const QPair<QString, bool> &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return item.first;
        break;
    case Qt::DecorationRole:
        if (index.column() == 1 && item.second)
            return QIcon(QPixmap(QStringLiteral(":/icons/status")));
        break;
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        break;
    }
    return QVariant();
}

QVariant uplinkMsgHalfTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return m_title;
    if (section == 1)
        return QStringLiteral("Enable");
    return QVariant();
}

Qt::ItemFlags uplinkMsgHalfTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

void uplinkMsgHalfTableModel::setItems(QVector<QPair<QString, bool>> items)
{
    m_items = std::move(items);
}

void uplinkMsgHalfTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

QString uplinkMsgHalfTableModel::title() const
{
    return m_title;
}
