#include "addperiodicdevicedialog.h"
#include "ui_addperiodicdevicedialog.h"

#include "adddevicedialog.h"
#include "logger.h"
#include "logmanager.h"

namespace {
const uint MaxAdvSid = 15;
}

AddPeriodicDeviceDialog::AddPeriodicDeviceDialog(LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("Add Device"), parent, 0, 0, false)
    , ui(new Ui::AddPeriodicDeviceDialog)
    , m_logger(logger)
{
    ui->setupUi(m_content);
    ui->lineEdit_addr->setAddrType(QStringLiteral("17"), QStringLiteral("00:00:00:00:00:00"),
                                   QStringLiteral("[0-9a-fA-F:]*"));
    ui->lineEdit_advSid->setIntType(QStringLiteral("0"), QString::number(MaxAdvSid), QStringLiteral("1"),
                                    QStringLiteral("0"));
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &AddPeriodicDeviceDialog::on_pushButton_ok_clicked);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

AddPeriodicDeviceDialog::~AddPeriodicDeviceDialog()
{
    delete ui;
}

void AddPeriodicDeviceDialog::on_pushButton_ok_clicked()
{
    if (!ui->lineEdit_addr->acceptTyped(ui->label->text()) || !ui->lineEdit_advSid->acceptTyped(ui->label_3->text()))
        return;
    const QByteArray addr =
        AddDeviceDialog::addressFromText(ui->lineEdit_addr->getValue().remove(QLatin1Char(':')));
    if (addr == QByteArray(addr.size(), '\0')) {
        if (m_logger)
            m_logger->log(QStringLiteral("Add Periodic Adv List Error, The address 00:00:00:00:00:00 is invalid."),
                          LogLevel::Error);
        return;
    }
    const uint sid = ui->lineEdit_advSid->getValue().toUInt(nullptr, 16);
    m_device.addr = addr;
    m_device.addrType = QByteArray(1, char(ui->comboBox_addrType->currentIndex()));
    m_device.advSid = QByteArray(1, char(sid));
    accept();
}
