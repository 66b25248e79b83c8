#pragma once

#include "cigparameter.h"
#include "isorecordmodel.h"

// The central page's CIG list, read-only.
class CigDataTableModel : public IsoRecordModel<cigParameter>
{
    Q_OBJECT

public:
    explicit CigDataTableModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};
