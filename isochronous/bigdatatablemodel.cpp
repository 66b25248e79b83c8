#include "bigdatatablemodel.h"

#include "isotext.h"

BigDataTableModel::BigDataTableModel(QObject *parent)
    : IsoRecordModel<bigParameter>({QStringLiteral("BIGID"), QStringLiteral("MSE"), QStringLiteral("ST(ms)"),
                                    QStringLiteral("Encryption"), QStringLiteral("Bcode"), QStringLiteral("Status")},
                                   parent)
{
}

QVariant BigDataTableModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return QVariant();
    const bigParameter &big = m_records.at(index.row());
    if (role == Qt::TextAlignmentRole)
        return alignment();
    if (role == Qt::DecorationRole)
        return index.column() == 5 ? statusIcon(big.status) : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case 0: return big.bigId;
    case 1: return big.mse;
    case 2: return big.bigSyncTimeout;
    case 3: return IsoText::encryption(IsoText::numberOrZero(big.encryption));
    case 4: return big.broadcastCode;
    default: return QVariant();
    }
}

bool BigDataTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}
