#include "clcpwidget.h"
#include "ui_clcpwidget.h"

#include "commandnames.h"
#include "testmodeinput.h"

#include <QIntValidator>
#include <QRegularExpressionValidator>

CLCPwidget::CLCPwidget(CMsg *link, LogManager *logger, QWidget *parent)
    : CTestModePage(link, logger, parent)
    , ui(new Ui::CLCPwidget)
{
    ui->setupUi(this);
    ui->comboBox_mode->hide();

    Texts texts;
    texts.mode = QStringLiteral("LCP");
    texts.layer = 0x09;
    texts.startMode = QString::fromLatin1(CMD_START_LCP_MODE);
    texts.stopMode = QString::fromLatin1(CMD_STOP_LCP_MODE);
    texts.setParameters = QString::fromLatin1(CMD_LCP_SET_PARAMETERS);
    texts.transmit = QString::fromLatin1(CMD_LCP_TRANSMIT_DATA);
    texts.startReceive = QString::fromLatin1(CMD_LCP_START_RECEIVE);
    texts.stopReceive = QString::fromLatin1(CMD_LCP_STOP_RECEIVE);
    texts.stopTransmit = QString::fromLatin1(CMD_LCP_STOP_TRANSMIT);
    texts.startButton = QStringLiteral("Start LCP Mode");
    texts.stopButton = QStringLiteral("Stop LCP Mode");
    texts.columns = QStringList{QStringLiteral("Timestamp"), QStringLiteral("Header(Hex)"), QStringLiteral("Length(Hex)"),
                                QStringLiteral("Payload(Hex)")};

    Controls controls;
    controls.start = ui->btn_startlcp;
    controls.set = ui->btn_set;
    controls.send = ui->btn_send;
    controls.startRx = ui->btn_startrx;
    controls.clearRx = ui->btn_clearrx;
    controls.tx = ui->groupBox_tx;
    controls.rx = ui->groupBox_rx;
    controls.txNum = ui->edit_txnum;
    controls.rxNum = ui->edit_rxnum;
    controls.repeatTime = ui->edit_repeattime;
    controls.repeatInterval = ui->edit_repeatinterval;
    controls.length = ui->edit_length;
    controls.payload = ui->edit_payload;
    controls.table = ui->tableWidget_rxinfo;
    controls.lockedWhileRunning = {ui->edit_address, ui->edit_crc};

    using namespace TestModeInput;
    setPattern(ui->edit_address, QStringLiteral("[a-fA-F0-9]{8}"));
    setPattern(ui->edit_crc, QStringLiteral("[a-fA-F0-9]{6}"));
    ui->edit_frequency->setValidator(new QIntValidator(2360, 2520, ui->edit_frequency));
    setPattern(ui->edit_channel, QStringLiteral("[1-3]?\\d"));
    setPattern(ui->edit_txpower, QString::fromLatin1(TxPowerPattern));
    setPattern(ui->edit_header, QStringLiteral("[0-9a-fA-F]{2}"));
    setPattern(ui->edit_length, QStringLiteral("[0-9a-fA-F]{2}"));
    setPattern(ui->edit_repeattime, QStringLiteral("\\d*"));
    setPattern(ui->edit_repeatinterval, QStringLiteral("\\d*"));

    setUpPage(controls, texts);
}

CLCPwidget::~CLCPwidget()
{
    delete ui;
}

void CLCPwidget::on_btn_startlcp_clicked()
{
    toggleMode();
}

QString CLCPwidget::checkSetInput() const
{
    QString error;
    if (ui->edit_frequency->text().isEmpty())
        error += QStringLiteral("frequency is empty \n");
    if (ui->edit_channel->text().isEmpty())
        error += QStringLiteral("channel index is empty \n");
    if (ui->edit_txpower->text().isEmpty())
        error += QStringLiteral("tx power is empty \n");
    if (!error.isEmpty())
        return error;
    const quint32 frequency = toU32(ui->edit_frequency->text(), 10);
    if (frequency < 2360 || frequency > 2520)
        error += QStringLiteral("frequency is out of range (2360~2520) \n");
    if ((toU32(ui->edit_channel->text(), 10) & 0xFF) > 39)
        error += QStringLiteral("channel index is out of range (0~39) \n");
    return error + txPowerRangeError(ui->edit_txpower->text());
}

QString CLCPwidget::checkModeInput() const
{
    QString error;
    if (ui->edit_address->text().isEmpty())
        error += QStringLiteral("access address is empty \n");
    if (ui->edit_crc->text().isEmpty())
        error += QStringLiteral("crc init is empty \n");
    return error + checkSetInput();
}

QString CLCPwidget::checkTxInput() const
{
    QString error;
    if (ui->edit_header->text().isEmpty())
        error += QStringLiteral("Header is empty \n");
    if (ui->edit_length->text().isEmpty())
        error += QStringLiteral("Length is empty \n");
    else if ((toU32(ui->edit_length->text(), 16) & 0xFF) > 0xFD)
        error += QStringLiteral("length is out of range (00~FD) \n");
    if (ui->edit_payload->text().isEmpty())
        error += QStringLiteral("Payload is empty \n");
    else if (!isHexText(ui->edit_payload->text()))
        error += QStringLiteral("Payload is out range (0~9,a~f,A~F) \n");
    if (ui->edit_repeattime->text().isEmpty())
        error += QStringLiteral("Repeat time is empty \n");
    else if (toU32(ui->edit_repeattime->text(), 10) == 0)
        error += QStringLiteral("repeat time is out of range (1~2^32-1) \n");
    if (ui->edit_repeatinterval->text().isEmpty())
        error += QStringLiteral("Repeat interval is empty \n");
    else if (toU32(ui->edit_repeatinterval->text(), 10) < 10)
        error += QStringLiteral("repeat interval is out of range (10~2^32-1) \n");
    return error;
}

QMap<QString, QVariant> CLCPwidget::startModeFields() const
{
    QMap<QString, QVariant> fields = setParameterFields();
    fields.insert(QStringLiteral("Protocol Mode"), 2);
    fields.insert(QStringLiteral("Access Address"), toU32(ui->edit_address->text(), 16));
    fields.insert(QStringLiteral("Crc Init"), toU32(ui->edit_crc->text(), 16));
    return fields;
}

QMap<QString, QVariant> CLCPwidget::setParameterFields() const
{
    return {{QStringLiteral("Frequency"), toU32(ui->edit_frequency->text(), 10)},
            {QStringLiteral("Channel Index"), toU32(ui->edit_channel->text(), 10) & 0xFF},
            {QStringLiteral("Tx Power"), int(txPowerByte(ui->edit_txpower->text()))}};
}

QMap<QString, QVariant> CLCPwidget::transmitFields(const QByteArray &payload) const
{
    return {{QStringLiteral("Repeat Time"), toU32(ui->edit_repeattime->text(), 10)},
            {QStringLiteral("Repeat Interval"), toU32(ui->edit_repeatinterval->text(), 10)},
            {QStringLiteral("Header"), toU32(ui->edit_header->text(), 16) & 0xFF},
            {QStringLiteral("Length"), quint32(payload.size())},
            {QStringLiteral("Payload"), payload}};
}

QStringList CLCPwidget::rxRowTexts(const QMap<QString, QByteArray> &fields) const
{
    return {hexText(fields.value(QStringLiteral("Header"))), hexText(fields.value(QStringLiteral("Length"))),
            hexText(fields.value(QStringLiteral("contain")))};
}
