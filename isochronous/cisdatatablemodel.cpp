#include "cisdatatablemodel.h"

#include "isotext.h"

CisDataTableModel::CisDataTableModel(QObject *parent)
    : IsoRecordModel<cisParameter>({QStringLiteral("Item"), QStringLiteral("CISID"), QStringLiteral("MSDUM2S"),
                                    QStringLiteral("MSDUS2M"), QStringLiteral("PHYM2S"), QStringLiteral("PHYS2M"),
                                    QStringLiteral("RTNM2S"), QStringLiteral("RTNS2M"), QStringLiteral("CHandle"),
                                    QStringLiteral("CStatus")},
                                   parent)
{
}

QVariant CisDataTableModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return QVariant();
    const cisParameter &cis = m_records.at(index.row());
    if (role == Qt::TextAlignmentRole)
        return alignment();
    if (role == Qt::CheckStateRole)
        return index.column() == 0 ? QVariant(cis.checkState) : QVariant();
    if (role == Qt::DecorationRole)
        return index.column() == 9 ? statusIcon(cis.status) : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case 1: return cis.cisId;
    case 2: return cis.maxSduM2S;
    case 3: return cis.maxSduS2M;
    case 4: return IsoText::phy(cis.phyM2S);
    case 5: return IsoText::phy(cis.phyS2M);
    case 6: return cis.rtnM2S;
    case 7: return cis.rtnS2M;
    case 8: return cis.cisHandle;
    default: return QVariant();
    }
}

Qt::ItemFlags CisDataTableModel::flags(const QModelIndex &index) const
{
    if (!isCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.column() == 0)
        result |= Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
    return result;
}

bool CisDataTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!isCell(index) || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    m_records[index.row()].checkState = value.toInt();
    // Without the change signal the view keeps painting the old box.
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}
