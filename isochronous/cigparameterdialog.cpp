#include "cigparameterdialog.h"

cigParameterDialog::cigParameterDialog(CMsg *msg, LogManager *logger, QWidget *parent)
    : IsoParameterDialog(QStringLiteral("Configure CIG Parameter"), QStringLiteral("CIG Parameter Get"), logger,
                         parent),
      m_msg(msg)
{
    m_content->setObjectName(QStringLiteral("cigParameterDialog"));
    m_content->setMinimumWidth(600);
    resize(617, 345);
}

void cigParameterDialog::setParameter(cigParameter record)
{
    setFieldValues({{QStringLiteral("sdu_interval_m2s"), record.sduIntervalM2S},
                    {QStringLiteral("sdu_interval_s2m"), record.sduIntervalS2M},
                    {QStringLiteral("transport_latency_m2s"), record.transportLatencyM2S},
                    {QStringLiteral("transport_latency_s2m"), record.transportLatencyS2M},
                    {QStringLiteral("sca"), record.sca},
                    {QStringLiteral("packing"), record.packing},
                    {QStringLiteral("framing"), record.framing}},
                   record.cigId);
}

void cigParameterDialog::emitRecord(const QMap<QString, QString> &values, const QString &id)
{
    cigParameter record;
    record.cigId = id;
    record.sduIntervalM2S = values.value(QStringLiteral("sdu_interval_m2s"));
    record.sduIntervalS2M = values.value(QStringLiteral("sdu_interval_s2m"));
    record.transportLatencyM2S = values.value(QStringLiteral("transport_latency_m2s"));
    record.transportLatencyS2M = values.value(QStringLiteral("transport_latency_s2m"));
    record.sca = values.value(QStringLiteral("sca"));
    record.packing = values.value(QStringLiteral("packing"));
    record.framing = values.value(QStringLiteral("framing"));
    record.status = 0;
    emit sig_cigParaUpdate(record);
}
