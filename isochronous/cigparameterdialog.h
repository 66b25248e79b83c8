#pragma once

#include "cigparameter.h"
#include "isoparameterdialog.h"

class CMsg;

// "Configure CIG Parameter": one group of the central page.
class cigParameterDialog : public IsoParameterDialog
{
    Q_OBJECT

public:
    cigParameterDialog(CMsg *msg, LogManager *logger, QWidget *parent = nullptr);

    void setParameter(cigParameter record);

signals:
    void sig_cigParaUpdate(cigParameter record);

protected:
    void emitRecord(const QMap<QString, QString> &values, const QString &id) override;

private:
    CMsg *m_msg = nullptr;
};
