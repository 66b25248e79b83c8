#pragma once

#include "isoparameterdialog.h"
#include "slavebigpara.h"

// "Configure BIG Sync Parameters" of the broadcaster: one group to create.
class SlaveBIGParaDialog : public IsoParameterDialog
{
    Q_OBJECT

public:
    explicit SlaveBIGParaDialog(LogManager *logger, QWidget *parent = nullptr);

    void setParameter(slaveBigPara record);

signals:
    void sig_bigParaUpdate(slaveBigPara record);

protected:
    void emitRecord(const QMap<QString, QString> &values, const QString &id) override;
};
