#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QVector>

class ListsBehaviour;
class QTimer;
class SimulatedDongle;

// One advertiser the simulated dongle can report while scanning.
struct SimAdvertiser
{
    QByteArray addr = QByteArray(6, '\0'); // least significant byte first
    quint8 addrType = 0;
    quint8 advType = 0x03;        // report complete | connectable
    quint8 classification = 0;    // 0 extended, 1 legacy
    qint8 rssi = -60;
    qint8 txPower = 0;
    quint8 phyPrim = 1;
    quint8 phySecond = 1;
    quint8 advSid = 0;
    quint16 periodicInterval = 0; // not 0: the advertiser has a periodic train
    QByteArray name;              // empty: no name structure
    bool completeName = true;
    QByteArray scanResponse;      // AD bytes; empty: no scan response
};

// What the simulated dongle does for scanning and periodic sync: it answers
// "5_0_Start Scan" and "Stop Scan" with their acknowledgements and results,
// streams advertising reports from its table of advertisers while scanning,
// and answers sync start and stop. Periodic reports go to every sync it has
// established.
class ScanBehaviour : public QObject
{
    Q_OBJECT

public:
    explicit ScanBehaviour(SimulatedDongle *dongle);

    void setAdvertisers(const QVector<SimAdvertiser> &advertisers);
    const QVector<SimAdvertiser> &advertisers() const { return m_advertisers; }
    // Reports per second while scanning (0: none are streamed).
    void setReportsPerSecond(int rate);
    // Answers with this status instead of 0.
    void setStartScanStatus(quint8 status) { m_startScanStatus = status; }
    void setSyncStatus(quint8 status) { m_syncStatus = status; }
    // Streams periodic reports of established syncs with the others.
    void setPeriodicReports(bool on) { m_periodicReports = on; }
    // Where another behaviour keeps the syncs, report for its syncs instead.
    void followSyncsOf(ListsBehaviour *lists);

    bool isScanning() const { return m_scanning; }
    // Sync indexes the dongle has established and not yet ended.
    const QVector<quint8> &syncs() const { return m_syncs; }
    qint64 reportsSent() const { return m_reportsSent; }
    // Reports sent per advertiser, by index in the table.
    const QVector<qint64> &reportsPerAdvertiser() const { return m_perAdvertiser; }

    // Frames (header and payload, no checksum) as the dongle sends them.
    static QByteArray advertisingData(const SimAdvertiser &advertiser);
    static QByteArray reportFrame(const SimAdvertiser &advertiser, quint8 classification,
                                  const QByteArray &adData, quint8 syncIndex = 0);
    static QByteArray advertisingReport(const SimAdvertiser &advertiser);
    static QByteArray scanResponseReport(const SimAdvertiser &advertiser);
    // n advertisers with distinct addresses, every third without a name,
    // every fourth legacy, every fifth with a periodic train.
    static QVector<SimAdvertiser> sampleAdvertisers(int n);

private:
    void onTick();

    QPointer<SimulatedDongle> m_dongle;
    QTimer *m_timer;
    QVector<SimAdvertiser> m_advertisers;
    QVector<qint64> m_perAdvertiser;
    QVector<quint8> m_syncs; // established sync indexes
    int m_rate = 0;
    int m_next = 0;
    int m_periodicTick = 0;
    double m_owed = 0.0;
    qint64 m_lastTickMs = 0;
    qint64 m_reportsSent = 0;
    bool m_scanning = false;
    bool m_periodicReports = true;
    quint8 m_startScanStatus = 0;
    quint8 m_syncStatus = 0;
};

// Installs the behaviour on a dongle; the behaviour is the dongle's child.
ScanBehaviour *installScanBehaviour(SimulatedDongle &dongle);
