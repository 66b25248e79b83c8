#pragma once

#include "cisparameter.h"
#include "isoparameterdialog.h"

class CMsg;

// "Configure CIS Parameter": one stream of the CIG on display.
class cisParameterDialog : public IsoParameterDialog
{
    Q_OBJECT

public:
    cisParameterDialog(CMsg *msg, LogManager *logger, QWidget *parent = nullptr);

    void setParameter(cisParameter record);

signals:
    void sig_cisParaUpdate(cisParameter record);

protected:
    void emitRecord(const QMap<QString, QString> &values, const QString &id) override;

private:
    CMsg *m_msg = nullptr;
};
