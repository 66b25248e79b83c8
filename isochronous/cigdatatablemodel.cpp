#include "cigdatatablemodel.h"

#include "isotext.h"

CigDataTableModel::CigDataTableModel(QObject *parent)
    : IsoRecordModel<cigParameter>({QStringLiteral("CIGID"), QStringLiteral("SDUM2S(us)"),
                                    QStringLiteral("SDUS2M(us)"), QStringLiteral("TLM2S(ms)"),
                                    QStringLiteral("TLS2M(ms)"), QStringLiteral("SCA"), QStringLiteral("Packing"),
                                    QStringLiteral("Framing"), QStringLiteral("Status")},
                                   parent)
{
}

QVariant CigDataTableModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return QVariant();
    const cigParameter &cig = m_records.at(index.row());
    if (role == Qt::TextAlignmentRole)
        return alignment();
    if (role == Qt::DecorationRole)
        return index.column() == 8 ? statusIcon(cig.status) : QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case 0: return cig.cigId;
    case 1: return cig.sduIntervalM2S;
    case 2: return cig.sduIntervalS2M;
    case 3: return cig.transportLatencyM2S;
    case 4: return cig.transportLatencyS2M;
    case 5: return IsoText::sca(cig.sca);
    case 6: return IsoText::packing(cig.packing);
    case 7: return IsoText::framing(cig.framing);
    default: return QVariant();
    }
}
