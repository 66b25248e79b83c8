#include "bitmasktablemodel.h"

#include <QIcon>
#include <QPixmap>

BitMaskTableModel::BitMaskTableModel(const QString &title, int bitsPerRow, QObject *parent)
    : QAbstractTableModel(parent)
    , m_title(title)
    , m_bitsPerRow(bitsPerRow)
{
}

int BitMaskTableModel::rowCount(const QModelIndex &parent) const
{
    // A table model has no children; the tester asks with valid parents too.
    if (parent.isValid())
        return 0;
    return (m_items.size() + m_bitsPerRow - 1) / m_bitsPerRow;
}

int BitMaskTableModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return 2 * m_bitsPerRow;
}

QVariant BitMaskTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();

    // The last row of a wide table may be only partly filled.
    const int item = m_bitsPerRow * index.row() + index.column() / 2;
    const bool exists = item < m_items.size();
    const bool descriptionColumn = index.column() % 2 == 0;

    switch (role) {
    case Qt::DisplayRole:
        if (exists && descriptionColumn)
            return m_items.at(item).first;
        break;
    case Qt::DecorationRole:
        if (exists && !descriptionColumn && m_items.at(item).second)
            return QIcon(QPixmap(QStringLiteral(":/icons/status.png")));
        break;
    case Qt::TextAlignmentRole:
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        break;
    }
    return QVariant();
}

QVariant BitMaskTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section < 0 || section >= columnCount())
        return QVariant();
    if (section % 2 == 0)
        return m_title;
    return QStringLiteral("Enable");
}

Qt::ItemFlags BitMaskTableModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index);
}

void BitMaskTableModel::setItems(QVector<QPair<QString, bool>> items)
{
    m_items = std::move(items);
}

void BitMaskTableModel::refresh()
{
    beginResetModel();
    endResetModel();
}

QString BitMaskTableModel::title() const
{
    return m_title;
}
