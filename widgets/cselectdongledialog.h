#pragma once

#include <QMap>
#include <QPointer>
#include <QString>
#include <QVector>

#include "cflatdialog.h"
#include "refreshdonglethread.h"

class CMsg;
class LogManager;
class QTreeWidgetItem;

namespace Ui {
class SelectDongleDLG;
}

// Lists the serial ports with a dongle behind them, opens and closes the
// dongle's port, and follows ports as they arrive and leave.
class CSelectDongleDialog : public CFlatDialog
{
    Q_OBJECT

public:
    // The item data role that carries a dongle item's port name.
    static constexpr int PortNameRole = Qt::UserRole;

    CSelectDongleDialog(CMsg *msg, LogManager *logManager, QWidget *parent = nullptr);
    ~CSelectDongleDialog() override;

    void connectPort(const QString &portName);
    void disconnectPort(const QString &portName = QString());

    Ui::SelectDongleDLG *form() const { return ui; }
    QVector<QString> availablePorts() const { return m_availablePorts; }
    QVector<QString> portsWithoutDongle() const { return m_portsWithoutDongle; }
    QMap<QString, DongleProbeInfo> foundDongles() const { return m_foundDongles; }
    // Ports the last refresh could not ask: held by another program, or closed to this user.
    QMap<QString, UnavailablePort> unavailablePorts() const { return m_unavailablePorts; }
    bool isRefreshing() const { return m_refreshThread != nullptr; }

signals:
    void sig_connectionStatusChanged(bool connectionStatus);

public slots:
    void on_pb_Refresh_clicked();
    void on_refreshFinish();
    void on_DeviceTreeSelectionChanged();
    void on_PB_Connect_clicked();
    void on_PB_Close_clicked();
    void on_SerialPortArrived(const QString &portName);
    void on_SerialPortRemoved(const QString &portName);

private:
    void fillPortList();
    void rebuildTree();
    QString currentPortName() const;
    void updateConnectButton();
    void showConnected();
    void showDisconnected();
    void log(const QString &text, int level);
    void logInternalError(int line, const char *function);

    Ui::SelectDongleDLG *ui;
    QVector<QString> m_availablePorts;
    QVector<QString> m_portsWithoutDongle;
    QMap<QString, DongleProbeInfo> m_foundDongles;
    QMap<QString, UnavailablePort> m_unavailablePorts;
    QTreeWidgetItem *m_rootItem = nullptr;
    CMsg *m_msg;
    LogManager *m_logManager;
    QPointer<RefreshDongleThread> m_refreshThread;
};
