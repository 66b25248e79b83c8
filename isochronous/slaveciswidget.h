#pragma once

#include "pageinterfaces.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QVariant>

#include <cstdint>

class CMsg;
class LogManager;
class manageCISWidget;

namespace Ui {
class SlaveCISWidget;
}

// "Slave CIG and CIS": one stream this dongle accepted as peripheral, its
// parameters as the dongle reported them and its ISO data panel.
class SlaveCISWidget : public CisPeripheralPage
{
    Q_OBJECT

public:
    // The largest SDU the stream parameters allow; the accept result does
    // not carry the stream's own, so the panel takes this one.
    static constexpr int MaxSdu = 4095;

    SlaveCISWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                   QMap<QString, QByteArray> fields, const QString &dongleName, QWidget *parent = nullptr);
    ~SlaveCISWidget() override;

    quint64 cisHandle() const override;
    manageCISWidget *panel() const { return m_panel; }

public slots:
    void onSlaveDisconnect() override;
    void onRcvMsg(QByteArray frame);

private:
    void disconnectCisProc(const QByteArray &frame);
    void readIsoTxSyncProc(const QByteArray &frame);
    void setupDataPathProc(const QByteArray &frame);
    void removeDataPathProc(const QByteArray &frame);
    void receiveIsoDataProc(const QByteArray &frame);
    // Parses and logs a panel result; true when it is for this stream.
    bool resultForThisStream(const QByteArray &frame, QMap<QString, QByteArray> *fields);
    void relayResult(const QByteArray &frame,
                     void (manageCISWidget::*entry)(QMap<QString, QByteArray> fields, QString name));

    UplinkDispatcher<SlaveCISWidget> m_dispatcher;
    Ui::SlaveCISWidget *ui;
    QMap<QString, QByteArray> m_fields;
    PageWire m_wire;
    QMap<QString, QVariant> *m_settings = nullptr;
    manageCISWidget *m_panel = nullptr;
};
