#include "bisdatatablemodel.h"

BisDataTableModel::BisDataTableModel(QObject *parent)
    : IsoRecordModel<bisParameter>({QStringLiteral("BIS ID"), QStringLiteral("BIS Connection Handle")}, parent)
{
}

QVariant BisDataTableModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return alignment();
    if (role != Qt::DisplayRole)
        return QVariant();
    const bisParameter &bis = m_records.at(index.row());
    return index.column() == 0 ? bis.bisId : bis.bisHandle;
}

bool BisDataTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}
