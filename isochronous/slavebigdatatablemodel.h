#pragma once

#include "isorecordmodel.h"
#include "slavebigpara.h"

// The broadcaster page's BIG list, read-only.
class SlaveBigDataTableModel : public IsoRecordModel<slaveBigPara>
{
    Q_OBJECT

public:
    explicit SlaveBigDataTableModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
};
