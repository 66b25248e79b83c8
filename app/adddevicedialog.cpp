#include "adddevicedialog.h"
#include "ui_adddevicedialog.h"

#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

namespace {
const int AddressLength = 6;
}

AddDeviceDialog::AddDeviceDialog(LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("Add Device"), parent, 0, 0, false)
    , ui(new Ui::AddDeviceDialog)
    , m_logger(logger)
{
    ui->setupUi(m_content);
    ui->lineEdit_addr->setAddrType(QStringLiteral("17"), QStringLiteral("00:00:00:00:00:00"),
                                   QStringLiteral("[0-9a-fA-F:]*"));
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &AddDeviceDialog::on_pushButton_ok_clicked);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

AddDeviceDialog::~AddDeviceDialog()
{
    delete ui;
}

QByteArray AddDeviceDialog::addressFromText(const QString &text)
{
    // An odd count reads like the command sender reads hex text: a leading zero.
    return CUtil::fitArray(CUtil::hexBytes(text, CUtil::Reversed), AddressLength);
}

void AddDeviceDialog::on_pushButton_ok_clicked()
{
    if (!ui->lineEdit_addr->acceptTyped(ui->label->text()))
        return;
    const QByteArray addr = addressFromText(ui->lineEdit_addr->getValue().remove(QLatin1Char(':')));
    if (addr == QByteArray(AddressLength, '\0')) {
        if (m_logger)
            m_logger->log(QStringLiteral("Add White List Error, The address 00:00:00:00:00:00 is invalid."),
                          LogLevel::Error);
        return;
    }
    m_device.addr = addr;
    m_device.addrType = QByteArray(1, char(ui->comboBox_addrType->currentIndex()));
    m_device.advSid.clear();
    accept();
}
