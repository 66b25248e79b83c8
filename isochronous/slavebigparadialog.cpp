#include "slavebigparadialog.h"

#include <QBoxLayout>
#include <QGridLayout>

namespace {

// Record field by form key, in the component's order.
const QList<QPair<QString, QString slaveBigPara::*>> &fieldsByKey()
{
    static const QList<QPair<QString, QString slaveBigPara::*>> fields = {
        {QStringLiteral("number_bis"), &slaveBigPara::numBis},
        {QStringLiteral("sdu_interval"), &slaveBigPara::sduInterval},
        {QStringLiteral("max_sdu"), &slaveBigPara::maxSdu},
        {QStringLiteral("transport_latency"), &slaveBigPara::transportLatency},
        {QStringLiteral("rtn"), &slaveBigPara::rtn},
        {QStringLiteral("phy"), &slaveBigPara::phy},
        {QStringLiteral("packing"), &slaveBigPara::packing},
        {QStringLiteral("framing"), &slaveBigPara::framing},
        {QStringLiteral("encryption"), &slaveBigPara::encryption},
        {QStringLiteral("broadcastcode"), &slaveBigPara::broadcastCode},
    };
    return fields;
}

} // namespace

SlaveBIGParaDialog::SlaveBIGParaDialog(LogManager *logger, QWidget *parent)
    : IsoParameterDialog(QStringLiteral("Configure BIG Sync Parameters"), QStringLiteral("Slave BIG Parameter Get"),
                         logger, parent)
{
    m_content->setObjectName(QStringLiteral("SlaveBIGParaDialog"));
    m_content->setMinimumWidth(600);
    if (auto *box = qobject_cast<QBoxLayout *>(m_content->layout())) {
        box->setSpacing(6);
        box->setContentsMargins(6, 6, 6, 6);
    }
    grid()->setVerticalSpacing(6);
    grid()->setContentsMargins(9, 9, 9, 9);
    resize(600, 215);
}

void SlaveBIGParaDialog::setParameter(slaveBigPara record)
{
    QMap<QString, QString> values;
    for (const auto &field : fieldsByKey())
        values.insert(field.first, record.*field.second);
    setFieldValues(values, record.bigId);
}

void SlaveBIGParaDialog::emitRecord(const QMap<QString, QString> &values, const QString &id)
{
    slaveBigPara record;
    record.bigId = id;
    for (const auto &field : fieldsByKey())
        record.*field.second = values.value(field.first);
    record.status = 0;
    emit sig_bigParaUpdate(record);
}
