#pragma once

#include "pageinterfaces.h"
#include "customtabstyle.h"
#include "pagewire.h"

#include <QMap>
#include <QString>
#include <QVariant>

class CGapCmdWidget;
class CGattWidget;
class CL2capWidget;
class CMsg;
class LogManager;
class QTabWidget;

namespace Ui {
class LayerWidget;
}

// The page of one connection of one dongle: a frame of west tabs for the
// connection's GATT, GAP and L2CAP pages. The dongle tab finds it by its
// connection index and closes it when the dongle reports the disconnection.
class CLayerWidget : public ConnectionPage
{
    Q_OBJECT

public:
    // dongleName stays the dongle tab's: pages see a renamed dongle.
    CLayerWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, const QString *dongleName,
                 uint8_t role, quint16 interval, quint16 latency, quint16 supervisionTimeout,
                 const QString &peerName, const QString &peerAddress, uint8_t condix, QWidget *parent = nullptr);
    ~CLayerWidget() override;

    uint8_t condix() const override { return m_condix; }
    uint8_t role() const override { return m_role; }
    QString peerAddress() const override { return m_peerAddress; }
    QString dongleName() const { return m_dongleName ? *m_dongleName : QString(); }
    CGattWidget *gattWidget() const { return m_gattWidget; }
    CGapCmdWidget *gapWidget() const { return m_gapWidget; }
    // Holds the GATT, GAP and L2CAP pages, in this order.
    QTabWidget *tabWidget() const;

    void setIsCurrentTab(bool current) override;
    // The tab closes the page because the dongle dropped the connection or
    // forgot it in a reset: the dialogs close without their answers, and
    // nothing more is sent for the connection.
    void closeDialogs() override;

signals:
    void sig_disConnect();

public slots:
    // Asks the dongle to drop this connection; the page stays until the
    // dongle reports the disconnection.
    void disconnect() override;
    void on_pairEnable(bool enabled) override;

private:
    Ui::LayerWidget *ui;
    QString m_peerAddress;
    uint8_t m_role;
    uint8_t m_condix;
    CGattWidget *m_gattWidget = nullptr;
    CGapCmdWidget *m_gapWidget = nullptr;
    CL2capWidget *m_l2capWidget = nullptr;
    CMsg *m_link;
    LogManager *m_logger;
    const QString *m_dongleName;
    PageWire m_wire;
    // Must outlive the tab bar that uses it (see the destructor).
    CustomTabStyle m_tabStyle;
};
