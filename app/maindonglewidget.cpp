#include "maindonglewidget.h"
#include "ui_maindonglewidget.h"

#include "advertisingpage.h"
#include "connectionpage.h"

#include <QSettings>

MainDongleWidget::MainDongleWidget(const QString &name, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::MainDongleWidget)
    , m_settings(new QMap<QString, QVariant>)
    , m_name(name)
{
    ui->setupUi(this);
}

MainDongleWidget::~MainDongleWidget()
{
    delete m_settings;
    delete ui;
}

QString MainDongleWidget::portName() const { return QString(); }
CConnectionWidget *MainDongleWidget::connectionWidget() const { return nullptr; }
AdvertisingPage *MainDongleWidget::advertisingPage() const { return m_advertisingPage; }
bool MainDongleWidget::isBusy() const { return false; }
QTabWidget *MainDongleWidget::pageTabWidget() const { return ui->tabWidget; }
void MainDongleWidget::initWidgets() { m_initialized = true; }
void MainDongleWidget::readSettingsGroup(QSettings &settings, const QString &group)
{
    settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys) {
        QVariant value = settings.value(key);
        // Unsigned integers are stored as the point (value, 0).
        if (value.userType() == QMetaType::QPoint)
            value = QVariant(uint(value.toPoint().x()));
        m_settings->insert(key, value);
    }
    settings.endGroup();
}
void MainDongleWidget::serialPortArrived(const QString &port) { emit sig_SerialPortArrived(port); }
void MainDongleWidget::serialPortRemoved(const QString &port)
{
    emit showThisDongleTab(m_name);
    emit sig_SerialPortRemoved(port);
}
void MainDongleWidget::closeTestPages() {}
void MainDongleWidget::closePort() {}
void MainDongleWidget::queryDeviceInfo() {}
QByteArray MainDongleWidget::deviceNameSetFrame(const QString &storedName, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QByteArray();
    };
    if (storedName.size() % 2 != 0)
        return fail(QStringLiteral("the stored name has an odd number of hex digits"));
    const int length = storedName.size() / 2;
    if (length > 255)
        return fail(QStringLiteral("the name is longer than 255 bytes"));
    QByteArray name;
    name.reserve(length);
    // Stored last byte first: the pair at the end of the text is the first byte.
    for (int i = storedName.size() - 2; i >= 0; i -= 2) {
        bool ok = false;
        const uint byte = storedName.midRef(i, 2).toUInt(&ok, 16);
        if (!ok)
            return fail(QStringLiteral("the stored name holds a character that is not a hex digit"));
        name.append(char(byte));
    }
    QByteArray frame;
    frame.append(char(0xAA));
    frame.append(char(0x01));
    frame.append(char(0x59));
    const int payloadLength = 1 + name.size();
    frame.append(char(payloadLength & 0xFF));
    frame.append(char((payloadLength >> 8) & 0xFF));
    frame.append(char(name.size()));
    frame.append(name);
    if (error)
        error->clear();
    return frame;
}

QString MainDongleWidget::storedDeviceName(const QByteArray &nameBytes)
{
    QString text;
    text.reserve(nameBytes.size() * 2);
    for (int i = nameBytes.size() - 1; i >= 0; --i)
        text += QStringLiteral("%1").arg(uint(uchar(nameBytes.at(i))), 2, 16, QLatin1Char('0'));
    return text;
}

QByteArray MainDongleWidget::enabledProfileIds(const QByteArray &profiles, bool *truncated)
{
    QByteArray ids;
    bool cut = false;
    int pos = 0;
    while (pos < profiles.size()) {
        // [enabled][L][id][name...], L counting the id and the name.
        if (pos + 2 > profiles.size()) {
            cut = true;
            break;
        }
        const int length = uchar(profiles.at(pos + 1));
        if (length < 1 || pos + 2 + length > profiles.size()) {
            cut = true;
            break;
        }
        if (profiles.at(pos) == 1)
            ids.append(profiles.at(pos + 2));
        pos += 2 + length;
    }
    if (truncated)
        *truncated = cut;
    return ids;
}
void MainDongleWidget::on_toolButton_selectDongle_clicked() {}
void MainDongleWidget::on_configDongleName(QString name)
{
    m_name = name;
    emit updateDongleName(this, name);
}
void MainDongleWidget::onTabWidgetCurrentChanged(int) {}
void MainDongleWidget::onConnectionStatusChanged(bool connected) { m_connected = connected; }
void MainDongleWidget::on_toolButton_configureSettings_clicked() {}
void MainDongleWidget::on_toolButton_registerPSM_clicked() {}
void MainDongleWidget::on_toolButton_reset_clicked() {}
void MainDongleWidget::on_connectSuccess(uint8_t, QString, ConnectionPage *) {}
void MainDongleWidget::on_disConnectRequest(uint8_t) {}
void MainDongleWidget::on_staticConfigSet() {}
void MainDongleWidget::on_DynamicConfigApply() {}
void MainDongleWidget::onRcvMsg(QByteArray) {}
void MainDongleWidget::onRcvDongleLog(QByteArray) {}
void MainDongleWidget::on_isPairEnable(bool enabled) { emit sig_pairEnable(enabled); }
void MainDongleWidget::on_deviceDead() {}
