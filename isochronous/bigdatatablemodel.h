#pragma once

#include "bigparameter.h"
#include "isorecordmodel.h"

// The receiver page's BIG list, read-only.
class BigDataTableModel : public IsoRecordModel<bigParameter>
{
    Q_OBJECT

public:
    explicit BigDataTableModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
};
