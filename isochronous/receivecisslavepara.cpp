#include "receivecisslavepara.h"

#include "ui_receivecisslavepara.h"

#include "isouplink.h"
#include "logger.h"
#include "logmanager.h"

ReceiveCISSlavePara::ReceiveCISSlavePara(CMsg *link, LogManager *logger, const QMap<QString, QByteArray> &fields,
                                         QWidget *parent)
    : CFlatDialog(QStringLiteral("CIS Connection Request"), parent, 0, 0, false), ui(new Ui::ReceiveCISSlavePara),
      m_fields(fields), m_wire(link, logger, QStringLiteral(".\\receivecisslavepara"))
{
    ui->setupUi(m_content);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui->pushButton_accept, &QPushButton::clicked, this, &ReceiveCISSlavePara::on_pushButton_accept_clicked);
    connect(ui->pushButton_reject, &QPushButton::clicked, this, &ReceiveCISSlavePara::on_pushButton_reject_clicked);
    IsoUplink::addFieldRows(logger, QStringLiteral("Get CIS Slave Parameter"), m_fields, false, ui->gridLayout,
                            this);
}

ReceiveCISSlavePara::~ReceiveCISSlavePara()
{
    delete ui;
}

bool ReceiveCISSlavePara::answer(const QString &name)
{
    if (!m_fields.contains(QStringLiteral("cis_connection_handle"))) {
        m_wire.log(QStringLiteral("The CIS Request data is wrong."), LogLevel::Error);
        return false;
    }
    m_wire.send(name,
                {{QStringLiteral("cis_connect_handle"), m_fields.value(QStringLiteral("cis_connection_handle"))}});
    return true;
}

void ReceiveCISSlavePara::on_pushButton_accept_clicked()
{
    if (answer(QStringLiteral("Accept CIS Established")))
        accept();
}

void ReceiveCISSlavePara::on_pushButton_reject_clicked()
{
    if (answer(QStringLiteral("Reject CIS Established")))
        reject();
}
