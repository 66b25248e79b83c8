#include "bigparameterdialog.h"

#include <QLayout>

bigParameterDialog::bigParameterDialog(LogManager *logger, QWidget *parent)
    : IsoParameterDialog(QStringLiteral("Configure BIG Sync Parameters"), QStringLiteral("Master BIG Parameter Get"),
                         logger, parent)
{
    m_content->setObjectName(QStringLiteral("bigParameterDialog"));
    m_content->setMinimumWidth(400);
    m_content->layout()->setContentsMargins(6, 6, 6, 6);
    resize(511, 220);
}

void bigParameterDialog::setParameter(bigParameter record)
{
    setFieldValues({{QStringLiteral("mse"), record.mse},
                    {QStringLiteral("big_sync_timeout"), record.bigSyncTimeout},
                    {QStringLiteral("encryption"), record.encryption},
                    {QStringLiteral("broadcastcode"), record.broadcastCode}},
                   record.bigId);
}

void bigParameterDialog::emitRecord(const QMap<QString, QString> &values, const QString &id)
{
    bigParameter record;
    record.bigId = id;
    record.mse = values.value(QStringLiteral("mse"));
    record.bigSyncTimeout = values.value(QStringLiteral("big_sync_timeout"));
    record.encryption = values.value(QStringLiteral("encryption"));
    record.broadcastCode = values.value(QStringLiteral("broadcastcode"));
    record.status = 0;
    emit sig_bigParaUpdate(record);
}
