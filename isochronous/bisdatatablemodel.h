#pragma once

#include "bisparameter.h"
#include "isorecordmodel.h"

// The BIS list of the BIG selected on either BIG page, read-only.
class BisDataTableModel : public IsoRecordModel<bisParameter>
{
    Q_OBJECT

public:
    explicit BisDataTableModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
};
