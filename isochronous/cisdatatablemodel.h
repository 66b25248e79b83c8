#pragma once

#include "cisparameter.h"
#include "isorecordmodel.h"

// The CIS list of the CIG on display; column 0 is the check box that picks
// the streams "Create CIS" takes.
class CisDataTableModel : public IsoRecordModel<cisParameter>
{
    Q_OBJECT

public:
    explicit CisDataTableModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
};
