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
void MainDongleWidget::readSettingsGroup(QSettings &settings, const QString &group) { Q_UNUSED(settings) Q_UNUSED(group) }
void MainDongleWidget::serialPortArrived(const QString &port) { emit sig_SerialPortArrived(port); }
void MainDongleWidget::serialPortRemoved(const QString &port)
{
    emit showThisDongleTab(m_name);
    emit sig_SerialPortRemoved(port);
}
void MainDongleWidget::closeTestPages() {}
void MainDongleWidget::closePort() {}
void MainDongleWidget::queryDeviceInfo() {}
QByteArray MainDongleWidget::deviceNameSetFrame(const QString &, QString *) { return QByteArray(); }
QString MainDongleWidget::storedDeviceName(const QByteArray &) { return QString(); }
QByteArray MainDongleWidget::enabledProfileIds(const QByteArray &, bool *) { return QByteArray(); }
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
