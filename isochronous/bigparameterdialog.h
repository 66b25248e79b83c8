#pragma once

#include "bigparameter.h"
#include "isoparameterdialog.h"

// "Configure BIG Sync Parameters": one group the receiver page synchronises to.
class bigParameterDialog : public IsoParameterDialog
{
    Q_OBJECT

public:
    explicit bigParameterDialog(LogManager *logger, QWidget *parent = nullptr);

    void setParameter(bigParameter record);

signals:
    void sig_bigParaUpdate(bigParameter record);

protected:
    void emitRecord(const QMap<QString, QString> &values, const QString &id) override;
};
