#include "cselectdongledialog.h"

#include <QFileInfo>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include "cflatmessage.h"
#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"
#include "plaintext.h"
#include "portlister.h"
#include "ui_cselectdongledialog.h"

namespace {

const QString RootText = QStringLiteral("Supported Targets");
const QString Connect = QStringLiteral("Connect");
const QString Disconnect = QStringLiteral("Disconnect");
constexpr int FirstRefreshDelayMs = 2000;

// "ttyUSB0" and "/dev/ttyUSB0" name the same device.
QString devicePath(const QString &portName)
{
    return portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

// What the tree shows in place of a product for a port that could not be asked.
QString unavailableLabel(const UnavailablePort &port)
{
    return port.refusal == Platform::SerialPort::NoPermission ? QStringLiteral("No permission")
                                                              : QStringLiteral("In use");
}

// One line for the log and the first line of the details.
QString unavailableLine(const UnavailablePort &port)
{
    switch (port.refusal) {
    case Platform::SerialPort::InUseHere:
        return QStringLiteral("%1 is in use by another dongle of this program.").arg(port.portName);
    case Platform::SerialPort::NoPermission:
        return QStringLiteral("%1 cannot be opened: no permission.").arg(port.portName);
    case Platform::SerialPort::InUseElsewhere:
    case Platform::SerialPort::NotRefused:
        break;
    }
    if (port.holder.isEmpty())
        return QStringLiteral("%1 is in use by another program.").arg(port.portName);
    return QStringLiteral("%1 is in use by another program: %2.").arg(port.portName, port.holder);
}

QString unavailableDetails(const UnavailablePort &port)
{
    QString advice;
    switch (port.refusal) {
    case Platform::SerialPort::InUseHere:
        advice = QStringLiteral("Disconnect it in that dongle's tab, then press Refresh.");
        break;
    case Platform::SerialPort::NoPermission: {
        const QString group = QFileInfo(devicePath(port.portName)).group();
        advice = group.isEmpty()
                     ? QStringLiteral("This user may not open it; press Refresh once access is granted.")
                     : QStringLiteral("This user may not open it (the port belongs to the group \"%1\"); "
                                      "press Refresh once access is granted.")
                           .arg(group);
        break;
    }
    case Platform::SerialPort::InUseElsewhere:
    case Platform::SerialPort::NotRefused:
        advice = QStringLiteral("It cannot be connected until that program lets it go; then press Refresh.");
        break;
    }
    return unavailableLine(port) + QLatin1Char('\n') + advice;
}

} // namespace

CSelectDongleDialog::CSelectDongleDialog(CMsg *msg, LogManager *logManager, QWidget *parent)
    : CFlatDialog(QStringLiteral("Select BLE Dongle Target"), parent, 0, 0, false),
      ui(new Ui::SelectDongleDLG),
      m_msg(msg),
      m_logManager(logManager)
{
    ui->setupUi(m_content);
    ui->treeWidget_device->setHeaderLabel(QStringLiteral("device"));
    ui->progressBar->setRange(0, 0);
    ui->progressBar->hide();

    // The owner lives in a later layer; it is recognised by its class name.
    if (parent && parent->inherits("MainDongleWidget")) {
        connect(parent, SIGNAL(sig_SerialPortArrived(QString)), this, SLOT(on_SerialPortArrived(QString)),
                Qt::QueuedConnection);
        connect(parent, SIGNAL(sig_SerialPortRemoved(QString)), this, SLOT(on_SerialPortRemoved(QString)),
                Qt::QueuedConnection);
    }
    connect(ui->treeWidget_device, &QTreeWidget::itemSelectionChanged, this,
            &CSelectDongleDialog::on_DeviceTreeSelectionChanged);
    connect(ui->pb_Refresh, &QPushButton::clicked, this, &CSelectDongleDialog::on_pb_Refresh_clicked);
    connect(ui->PB_Connect, &QPushButton::clicked, this, &CSelectDongleDialog::on_PB_Connect_clicked);
    connect(ui->PB_Close, &QPushButton::clicked, this, &CSelectDongleDialog::on_PB_Close_clicked);

    fillPortList();
}

CSelectDongleDialog::~CSelectDongleDialog()
{
    delete m_refreshThread; // waits for a probe still running
    delete ui;
}

void CSelectDongleDialog::fillPortList()
{
    m_rootItem = new QTreeWidgetItem(ui->treeWidget_device, QStringList(RootText));
    m_rootItem->setExpanded(true);
    const QList<QString> ports = Platform::availablePortNames();
    for (const QString &port : ports)
        m_availablePorts.append(port);
    QTimer::singleShot(FirstRefreshDelayMs, this, &CSelectDongleDialog::on_pb_Refresh_clicked);
    updateConnectButton();
}

void CSelectDongleDialog::on_pb_Refresh_clicked()
{
    if (m_msg && m_msg->isOpen()) {
        log(QStringLiteral("CSelectDongleDialog::on_pb_Refresh_pressed: the serial port has been opened."),
            LogLevel::Debug);
        return;
    }
    if (m_refreshThread) {
        // A probe is running: keep the lists it will fill.
        logInternalError(__LINE__, "CSelectDongleDialog::on_pb_Refresh_clicked");
        return;
    }
    m_foundDongles.clear();
    m_unavailablePorts.clear();
    m_portsWithoutDongle = m_availablePorts;

    m_refreshThread = new RefreshDongleThread(this);
    m_refreshThread->setPortList(m_availablePorts);
    connect(m_refreshThread, &QThread::finished, this, &CSelectDongleDialog::on_refreshFinish);
    m_refreshThread->start(QThread::InheritPriority);

    ui->pb_Refresh->setEnabled(false);
    ui->PB_Connect->setEnabled(false);
    ui->treeWidget_device->setEnabled(false);
    ui->progressBar->show();
}

void CSelectDongleDialog::on_refreshFinish()
{
    if (!m_refreshThread) {
        logInternalError(__LINE__, "CSelectDongleDialog::on_refreshFinish");
        return;
    }
    const QVector<DongleProbeResult> results = m_refreshThread->getResults();
    const QVector<UnavailablePort> unavailable = m_refreshThread->getUnavailablePorts();
    delete m_refreshThread;
    m_refreshThread = nullptr;

    for (const DongleProbeResult &result : results) {
        // A port that left while the probe ran is not listed again.
        if (!m_availablePorts.contains(result.portName))
            continue;
        m_portsWithoutDongle.removeAll(result.portName);
        m_foundDongles.insert(result.portName, result.info);
    }
    for (const UnavailablePort &port : unavailable) {
        if (m_availablePorts.contains(port.portName))
            m_unavailablePorts.insert(port.portName, port);
    }

    ui->pb_Refresh->setEnabled(true);
    ui->treeWidget_device->setEnabled(true);
    ui->progressBar->hide();

    rebuildTree();
    if (m_rootItem->childCount() > 0) {
        ui->treeWidget_device->setFocus();
        ui->treeWidget_device->setCurrentItem(m_rootItem->child(0));
    }
    on_DeviceTreeSelectionChanged();
    // The link may have been opened while the probe ran.
    if (m_msg && m_msg->isOpen())
        showConnected();
}

void CSelectDongleDialog::rebuildTree()
{
    QTreeWidget *tree = ui->treeWidget_device;
    const QList<QTreeWidgetItem *> selected = tree->selectedItems();
    const bool hadSelection = !selected.isEmpty();
    const bool rootSelected = hadSelection && selected.first() == m_rootItem;
    const QString selectedPort = hadSelection ? selected.first()->data(0, PortNameRole).toString() : QString();

    qDeleteAll(m_rootItem->takeChildren());
    for (auto it = m_foundDongles.constBegin(); it != m_foundDongles.constEnd(); ++it) {
        auto *item = new QTreeWidgetItem(m_rootItem,
                                         QStringList(it.value().product + QLatin1Char('(') + it.key() + QLatin1Char(')')));
        // The item text is for the eye; the port is read from here.
        item->setData(0, PortNameRole, it.key());
    }
    // Listed after the dongles and greyed: they may hide one, but cannot be picked now.
    const QBrush greyed = tree->palette().brush(QPalette::Disabled, QPalette::Text);
    for (const UnavailablePort &port : qAsConst(m_unavailablePorts)) {
        auto *item = new QTreeWidgetItem(m_rootItem,
                                         QStringList(unavailableLabel(port) + QLatin1Char('(') + port.portName + QLatin1Char(')')));
        item->setData(0, PortNameRole, port.portName);
        item->setForeground(0, greyed);
        item->setToolTip(0, PlainText::toolTip(unavailableLine(port)));
    }
    m_rootItem->setExpanded(true);

    if (rootSelected) {
        tree->setCurrentItem(m_rootItem);
    } else if (hadSelection) {
        for (int i = 0; i < m_rootItem->childCount(); ++i) {
            if (m_rootItem->child(i)->data(0, PortNameRole).toString() == selectedPort)
                tree->setCurrentItem(m_rootItem->child(i));
        }
    }
    updateConnectButton();
}

QString CSelectDongleDialog::currentPortName() const
{
    const QTreeWidgetItem *item = ui->treeWidget_device->currentItem();
    return item ? item->data(0, PortNameRole).toString() : QString();
}

void CSelectDongleDialog::updateConnectButton()
{
    if (m_refreshThread) {
        ui->PB_Connect->setEnabled(false);
        return;
    }
    // Connecting needs a dongle item; disconnecting needs none.
    const bool offersConnect = ui->PB_Connect->text() == Connect;
    const QString port = currentPortName();
    ui->PB_Connect->setEnabled(!offersConnect || (!port.isEmpty() && !m_unavailablePorts.contains(port)));
}

void CSelectDongleDialog::on_DeviceTreeSelectionChanged()
{
    QTreeWidgetItem *item = ui->treeWidget_device->currentItem();
    updateConnectButton();
    if (!item) {
        log(QStringLiteral("CSelectDongleDialog::on_DeviceTreeSelectionChanged(),get port name failed."),
            LogLevel::Debug);
        return;
    }
    const QString port = currentPortName();
    DongleProbeInfo info = m_foundDongles.value(port, DongleProbeInfo());
    const auto unavailable = m_unavailablePorts.constFind(port);
    if (unavailable != m_unavailablePorts.constEnd()) {
        // The port's name stands where a dongle's would; what a dongle tells stays unknown.
        info.dongleName = port;
        info.description = unavailableDetails(*unavailable);
    }
    // Whatever answered the probe wrote these texts.
    PlainText::show(ui->LB_Dongle_name, info.dongleName);
    PlainText::show(ui->LB_Manufacture, info.manufacturer);
    PlainText::show(ui->LB_Product, info.product);
    PlainText::show(ui->LB_FirmwareVer, info.firmwareVersion);
    PlainText::show(ui->LB_HardwareVer, info.hardwareVersion);
    ui->TB_Decs->setPlainText(info.description);
    PlainText::show(ui->LB_SDKVer, info.sdkVersion);
}

void CSelectDongleDialog::on_PB_Connect_clicked()
{
    const QString text = ui->PB_Connect->text();
    if (text == Connect) {
        if (!m_msg) {
            log(QStringLiteral("open port failed."), LogLevel::Error);
            return;
        }
        if (m_msg->isOpen()) {
            log(QStringLiteral("Another serial port has been connected."), LogLevel::Error);
            return;
        }
        const QString port = currentPortName();
        if (port.isEmpty()) {
            log(QStringLiteral("Get selected serial port name failed."), LogLevel::Error);
            return;
        }
        const auto unavailable = m_unavailablePorts.constFind(port);
        if (unavailable != m_unavailablePorts.constEnd()) {
            log(unavailableLine(*unavailable) + QStringLiteral(" (") + unavailable->reason + QLatin1Char(')'),
                LogLevel::Error);
            log(QStringLiteral("open port failed."), LogLevel::Error);
            return;
        }
        if (m_msg->openPort(port) != 0) {
            log(QStringLiteral("open port failed."), LogLevel::Error);
            return;
        }
        showConnected();
        emit sig_connectionStatusChanged(true);
        close();
    } else if (text == Disconnect) {
        if (!m_msg || !m_msg->isOpen()) {
            log(QStringLiteral("The serial port has already been disconnected."), LogLevel::Error);
            return;
        }
        m_msg->closePort();
        showDisconnected();
        emit sig_connectionStatusChanged(false);
        close();
    } else {
        close();
    }
}

void CSelectDongleDialog::on_PB_Close_clicked()
{
    close();
}

void CSelectDongleDialog::connectPort(const QString &portName)
{
    if (!m_msg || m_msg->openPort(portName) != 0) {
        log(QStringLiteral("open port failed."), LogLevel::Error);
        return;
    }
    showConnected();
    emit sig_connectionStatusChanged(true);
}

void CSelectDongleDialog::disconnectPort(const QString &portName)
{
    Q_UNUSED(portName)
    if (m_msg)
        m_msg->closePort();
    showDisconnected();
    emit sig_connectionStatusChanged(false);
}

void CSelectDongleDialog::on_SerialPortArrived(const QString &portName)
{
    if (m_availablePorts.contains(portName)) {
        log(QStringLiteral("CSelectDongleDialog::on_SerialPortArrived, port is repeated."), LogLevel::Debug);
        return;
    }
    m_availablePorts.append(portName);
    m_portsWithoutDongle.append(portName);
    rebuildTree();
}

void CSelectDongleDialog::on_SerialPortRemoved(const QString &portName)
{
    m_availablePorts.removeAll(portName);
    m_portsWithoutDongle.removeAll(portName);
    m_foundDongles.remove(portName);
    m_unavailablePorts.remove(portName);
    rebuildTree();

    if (!m_msg || !m_msg->isOpen() || devicePath(m_msg->getPortName()) != devicePath(portName))
        return;

    m_msg->closePort();
    showDisconnected();
    emit sig_connectionStatusChanged(false);

    QPointer<CSelectDongleDialog> self(this);
    CFlatMessage::information(this, QStringLiteral("ERROR"),
                              QStringLiteral("The dongle hardware connection has been cut,\r\nPlease check it."));
    if (!self)
        return; // the owner went away while the box was up
    if (isVisible()) {
        // Already on screen (perhaps running modally): bring it forward instead of nesting a second loop.
        raise();
        activateWindow();
        return;
    }
    exec();
}

void CSelectDongleDialog::showConnected()
{
    ui->PB_Connect->setText(Disconnect);
    ui->treeWidget_device->setEnabled(false);
    ui->pb_Refresh->setEnabled(false);
    updateConnectButton();
}

void CSelectDongleDialog::showDisconnected()
{
    ui->PB_Connect->setText(Connect);
    if (!m_refreshThread) {
        ui->treeWidget_device->setEnabled(true);
        ui->pb_Refresh->setEnabled(true);
    }
    updateConnectButton();
}

void CSelectDongleDialog::log(const QString &text, int level)
{
    if (m_logManager)
        m_logManager->log(text, level);
}

void CSelectDongleDialog::logInternalError(int line, const char *function)
{
    log(QStringLiteral("FILE:cselectdongledlg LINE:%1 FUNCTION:%2 Internal error.")
            .arg(line)
            .arg(QString::fromLatin1(function)),
        LogLevel::Debug);
}
