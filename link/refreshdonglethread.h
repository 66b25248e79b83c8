#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <QVector>

#include "serialport.h"

// What a dongle tells about itself in its probe reply.
struct DongleProbeInfo
{
    QString dongleName = QStringLiteral("Unknown");
    QString manufacturer = QStringLiteral("Unknown");
    QString product = QStringLiteral("Unknown");
    QString firmwareVersion = QStringLiteral("Unknown");
    QString hardwareVersion = QStringLiteral("Unknown");
    QString description;
    QString sdkVersion = QStringLiteral("Unknown");
};

struct DongleProbeResult
{
    QString portName;
    DongleProbeInfo info;
};

// A port the probe could not ask, for a reason the user can act on.
struct UnavailablePort
{
    QString portName;
    Platform::SerialPort::Refusal refusal = Platform::SerialPort::InUseElsewhere;
    QString holder; // "minicom (process 1234)", as far as it can be seen
    QString reason; // the system's words
};

// Asks every listed port whether a dongle answers behind it. One object per
// refresh: set the list, start it, take the results after finished().
class RefreshDongleThread : public QThread
{
    Q_OBJECT

public:
    explicit RefreshDongleThread(QObject *parent = nullptr);
    // Waits for a running probe: it ends by itself within a few hundred ms.
    ~RefreshDongleThread() override;

    void setPortList(const QVector<QString> &ports);
    QVector<DongleProbeResult> getResults() const;
    // The ports held by someone else or closed to this user, in list order.
    QVector<UnavailablePort> getUnavailablePorts() const;

    // The request every port is sent: layer 0, opcode 0, no payload, checksum.
    static QByteArray probeRequest();
    // The record of a reply; every field keeps its default unless the reply
    // holds 0xBB 00 00 followed by the six length-prefixed texts.
    static DongleProbeInfo parseReply(const QByteArray &reply);
    // The first whole probe reply in what a port sent after the request:
    // 0xBB 00 00 and six complete texts of UTF-8 without control characters.
    // Checksum-valid uplink frames around it (a dongle still streaming) are
    // passed over whole, so bytes inside them are never taken for a reply.
    // Empty when there is none.
    static QByteArray findReply(const QByteArray &received);

protected:
    void run() override;

private:
    QVector<QString> m_ports;
    QVector<DongleProbeResult> m_results;
    QVector<UnavailablePort> m_unavailable;
};
