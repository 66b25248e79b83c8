#include "slavebigdatatablemodel.h"

#include "isotext.h"

SlaveBigDataTableModel::SlaveBigDataTableModel(QObject *parent)
    : IsoRecordModel<slaveBigPara>({QStringLiteral("BIGID"), QStringLiteral("AdvIndex"), QStringLiteral("NumBIS"),
                                    QStringLiteral("SDU(us)"), QStringLiteral("MSDU"), QStringLiteral("TL(ms)"),
                                    QStringLiteral("RTN"), QStringLiteral("PHY"), QStringLiteral("Packing"),
                                    QStringLiteral("Framing"), QStringLiteral("Encryption"), QStringLiteral("Bcode"),
                                    QStringLiteral("Status")},
                                   parent)
{
}

QVariant SlaveBigDataTableModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return QVariant();
    const slaveBigPara &big = m_records.at(index.row());
    if (role == Qt::TextAlignmentRole)
        return alignment();
    if (role == Qt::DecorationRole)
        return index.column() == 12 ? statusIcon(big.status) : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    const auto asNumber = &IsoText::numberOrZero;
    switch (index.column()) {
    case 0: return big.bigId;
    case 1: return big.advIndex;
    case 2: return big.numBis;
    case 3: return big.sduInterval;
    case 4: return big.maxSdu;
    case 5: return big.transportLatency;
    case 6: return big.rtn;
    case 7: return IsoText::phy(asNumber(big.phy));
    case 8: return IsoText::packing(asNumber(big.packing));
    case 9: return IsoText::broadcastFraming(asNumber(big.framing));
    case 10: return IsoText::encryption(asNumber(big.encryption));
    case 11: return big.broadcastCode;
    default: return QVariant();
    }
}

bool SlaveBigDataTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}
