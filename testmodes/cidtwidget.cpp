#include "cidtwidget.h"
#include "ui_cidtwidget.h"

#include "commandnames.h"
#include "testmodeinput.h"


CIDTwidget::CIDTwidget(CMsg *link, LogManager *logger, QWidget *parent)
    : CTestModePage(link, logger, parent)
    , ui(new Ui::CIDTwidget)
{
    ui->setupUi(this);

    Texts texts;
    texts.mode = QStringLiteral("IDT");
    texts.layer = 0x0A;
    texts.startMode = QString::fromLatin1(CMD_START_IDT_MODE);
    texts.stopMode = QString::fromLatin1(CMD_STOP_IDT_MODE);
    texts.setParameters = QString::fromLatin1(CMD_IDT_SET_PARAMETERS);
    texts.transmit = QString::fromLatin1(CMD_IDT_TRANSMIT_DATA);
    texts.startReceive = QString::fromLatin1(CMD_IDT_START_RECEIVE);
    texts.stopReceive = QString::fromLatin1(CMD_IDT_STOP_RECEIVE);
    texts.stopTransmit = QString::fromLatin1(CMD_IDT_STOP_TRANSMIT);
    texts.startButton = QStringLiteral("Start IDT Mode");
    texts.stopButton = QStringLiteral("Stop IDT Mode");
    texts.columns = QStringList{QStringLiteral("Timestamp"), QStringLiteral("Length(Hex)"), QStringLiteral("Data(Hex)")};

    Controls controls;
    controls.start = ui->btn_startidt;
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
    controls.payload = ui->edit_data;
    controls.table = ui->tableWidget_rxinfo;
    controls.lockedWhileRunning = {ui->edit_address};

    using namespace TestModeInput;
    setPattern(ui->edit_address, QStringLiteral("[a-fA-F0-9]{8}"));
    // A pattern, not an integer validator: that one lets 160 stand as "intermediate".
    setPattern(ui->edit_channel, QStringLiteral("1[0-5]\\d|[1-9]?\\d"));
    setPattern(ui->edit_txpower, QString::fromLatin1(TxPowerPattern));
    setPattern(ui->edit_length, QStringLiteral("[a-fA-F0-9]{2}"));
    setPattern(ui->edit_repeattime, QStringLiteral("\\d*"));
    setPattern(ui->edit_repeatinterval, QStringLiteral("\\d*"));

    setUpPage(controls, texts);
}

CIDTwidget::~CIDTwidget()
{
    delete ui;
}

void CIDTwidget::on_btn_startidt_clicked()
{
    toggleMode();
}

QString CIDTwidget::checkSetInput() const
{
    QString error;
    if (ui->edit_channel->text().isEmpty())
        error += QStringLiteral("channel num is empty \n");
    if (ui->edit_txpower->text().isEmpty())
        error += QStringLiteral("tx power is empty \n");
    if (!error.isEmpty())
        return error;
    if ((toU32(ui->edit_channel->text(), 10) & 0xFF) > 159)
        error += QStringLiteral("channel num is out of range (0~159) \n");
    return error + txPowerRangeError(ui->edit_txpower->text());
}

QString CIDTwidget::checkModeInput() const
{
    QString error;
    if (ui->edit_address->text().isEmpty())
        error += QStringLiteral("access address is empty \n");
    return error + checkSetInput();
}

QString CIDTwidget::checkTxInput() const
{
    QString error;
    if (ui->edit_length->text().isEmpty())
        error += QStringLiteral("Length is empty \n");
    else if ((toU32(ui->edit_length->text(), 16) & 0xFF) > 0xFB)
        error += QStringLiteral("Length is out of range (00~FB) \n");
    if (ui->edit_data->text().isEmpty())
        error += QStringLiteral("Data is empty \n");
    else if (!isHexText(ui->edit_data->text()))
        error += QStringLiteral("Data is out range (0~9,a~f,A~F) \n");
    if (ui->edit_repeattime->text().isEmpty())
        error += QStringLiteral("Repeat time is empty \n");
    else if (toU32(ui->edit_repeattime->text(), 10) == 0)
        error += QStringLiteral("Repeat time is out of range (1~2^32-1) \n");
    if (ui->edit_repeatinterval->text().isEmpty())
        error += QStringLiteral("Repeat interval is empty \n");
    else if (toU32(ui->edit_repeatinterval->text(), 10) < 10)
        error += QStringLiteral("Repeat interval is out of range (10~2^32-1) \n");
    return error;
}

QMap<QString, QVariant> CIDTwidget::startModeFields() const
{
    return {{QStringLiteral("Access Address"), toU32(ui->edit_address->text(), 16)},
            {QStringLiteral("Channel Num"), toU32(ui->edit_channel->text(), 10) & 0xFF}};
}

QMap<QString, QVariant> CIDTwidget::setParameterFields() const
{
    return {{QStringLiteral("Channel Num"), toU32(ui->edit_channel->text(), 10) & 0xFF},
            {QStringLiteral("Tx Power"), int(txPowerByte(ui->edit_txpower->text()))}};
}

QMap<QString, QVariant> CIDTwidget::transmitFields(const QByteArray &payload) const
{
    return {{QStringLiteral("Repeat Time"), toU32(ui->edit_repeattime->text(), 10)},
            {QStringLiteral("Repeat Interval"), toU32(ui->edit_repeatinterval->text(), 10)},
            {QStringLiteral("Length"), quint32(payload.size())},
            {QStringLiteral("Payload"), payload}};
}

QStringList CIDTwidget::rxRowTexts(const QMap<QString, QByteArray> &fields) const
{
    return {hexText(fields.value(QStringLiteral("Length"))), hexText(fields.value(QStringLiteral("contain")))};
}
