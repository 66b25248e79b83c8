#include "crfcalibrationdialog.h"
#include "ui_crfcalibrationdialog.h"

#include "ccommand.h"
#include "cmsg.h"
#include "commandnames.h"

CRfCalibrationDialog::CRfCalibrationDialog(CMsg *link, LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("RF Calibration"), parent, 0, 0, false)
    , ui(new Ui::RfCalibrationDialog)
    , m_link(link)
    , m_logger(logger)
    , m_wire(link, logger, QStringLiteral(".\\crfcalibrationdialog"))
{
    ui->setupUi(m_content);
    // "0x" and at most four digits: 0x0 to 0xFFFF.
    ui->le_rfValue->setHexType(QStringLiteral("6"), QString(), QStringLiteral("0xFFFF"), QString(),
                               QStringLiteral("0x[0-9a-fA-F]*"));
    connect(ui->PB_Calibration, &QPushButton::clicked, this, &CRfCalibrationDialog::on_PB_Calibration_clicked);
}

CRfCalibrationDialog::~CRfCalibrationDialog()
{
    delete ui;
}

void CRfCalibrationDialog::on_PB_Calibration_clicked()
{
    // The text as typed: the edit's own value pads a bare "0x" to zeros.
    const QString value = ui->le_rfValue->text().remove(QStringLiteral("0x"));
    if (value.isEmpty())
        return;
    // The offset's acknowledgement is its result: logged whatever it says.
    m_wire.send(QString::fromLatin1(CMD_RF_CALIBRATION_SET),
                {{QStringLiteral("rf_value"), quint32(quint16(value.toUInt(nullptr, 16)))}}, {},
                PageWire::Answer::withSuccess());
    accept();
}
