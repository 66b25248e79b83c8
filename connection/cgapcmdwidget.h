#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QWidget>

#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <cstdint>

class CMsg;
class DiagramWidget;
class LogManager;
class QTimer;

namespace Ui {
class CGapCmdWidget;
}

// The GAP tab of one connection: the catalogue's GAP command forms on the
// left, the connection diagram on the right. Takes the GAP uplinks of its own
// connection, shows query results in their forms and answers the peer's
// request for new connection parameters.
class CGapCmdWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RenegotiationTimeoutMs = 5000;

    CGapCmdWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, const QString *dongleName,
                  quint16 interval, quint16 latency, quint16 supervisionTimeout, QString peerName,
                  QString peerAddress, uint8_t condix, QWidget *parent = nullptr);
    ~CGapCmdWidget() override;

    void setIsCurrentTab(bool current) { m_isCurrentTab = current; }
    bool isCurrentTab() const { return m_isCurrentTab; }
    DiagramWidget *diagram() const;
    // The command forms in their order (built now if the page was never shown).
    QList<QWidget *> commandForms();
    // The connection has ended: nothing more is sent for it, also by its dialogs.
    void endConnection() { m_wire.endConnection(); }

    // The dongle's name as the settings store it: two hex digits per byte,
    // last character first ("0x6948" reads "Hi").
    static QString dongleNameFromSetting(const QString &setting);
    // "0A1B2C3D4E5F" -> "0A:1B:2C:3D:4E:5F", characters kept in their order.
    static QString addressFromSetting(const QString &setting);

signals:
    void sig_showDongleTab(QString dongleName);

public slots:
    void onRcvMsg(QByteArray frame);
    void on_receiveUpdateRequest();
    void on_timeout();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void initCommandUi();

    void updateConnectionParameterRequestProc(const QByteArray &frame);
    void updateRequestProc(const QByteArray &frame);
    void dataLengthUpdateProc(const QByteArray &frame);
    void phyUpdateProc(const QByteArray &frame);
    void getCmdProc(const QByteArray &frame);

    UplinkDispatcher<CGapCmdWidget> m_handlerMap;
    PageWire m_wire;
    Ui::CGapCmdWidget *ui;
    QString m_peerAddress;
    QString m_peerName;
    uint8_t m_condix;
    QTimer *m_timer = nullptr;
    bool m_isCurrentTab = false;
    bool m_commandUiBuilt = false;
    CMsg *m_link;
    LogManager *m_logger;
    QMap<QString, QVariant> *m_settings;
};
