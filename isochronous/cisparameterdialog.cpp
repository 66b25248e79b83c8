#include "cisparameterdialog.h"

cisParameterDialog::cisParameterDialog(CMsg *msg, LogManager *logger, QWidget *parent)
    : IsoParameterDialog(QStringLiteral("Configure CIS Parameter"), QStringLiteral("CIS Parameter Get"), logger,
                         parent),
      m_msg(msg)
{
    m_content->setObjectName(QStringLiteral("cisParameterDialog"));
    m_content->setMinimumWidth(500);
    resize(542, 352);
}

void cisParameterDialog::setParameter(cisParameter record)
{
    setFieldValues({{QStringLiteral("max_sdu_m2s"), record.maxSduM2S},
                    {QStringLiteral("max_sdu_s2m"), record.maxSduS2M},
                    {QStringLiteral("phy_m2s"), record.phyM2S},
                    {QStringLiteral("phy_s2m"), record.phyS2M},
                    {QStringLiteral("rtn_m2s"), record.rtnM2S},
                    {QStringLiteral("rtn_s2m"), record.rtnS2M}},
                   record.cisId);
}

void cisParameterDialog::emitRecord(const QMap<QString, QString> &values, const QString &id)
{
    cisParameter record;
    record.cisId = id;
    record.maxSduM2S = values.value(QStringLiteral("max_sdu_m2s"));
    record.maxSduS2M = values.value(QStringLiteral("max_sdu_s2m"));
    record.phyM2S = values.value(QStringLiteral("phy_m2s"));
    record.phyS2M = values.value(QStringLiteral("phy_s2m"));
    record.rtnM2S = values.value(QStringLiteral("rtn_m2s"));
    record.rtnS2M = values.value(QStringLiteral("rtn_s2m"));
    emit sig_cisParaUpdate(record);
}
