#include "simbehaviour_scan.h"

#include <QTimer>

#include "framebuilder.h"
#include "simbehaviour_lists.h"
#include "simulateddongle.h"

namespace {

constexpr int kTickMs = 10;

QByteArray header(quint8 type, quint8 layer, quint8 opcode, const QByteArray &payload)
{
    return FrameBuilder::frame(type, layer, opcode, payload);
}

QByteArray payloadOf(const QByteArray &frame)
{
    // Downlink frame with its checksum: 5 header bytes, payload, checksum.
    return frame.mid(5, frame.size() - 6);
}

} // namespace

ScanBehaviour::ScanBehaviour(SimulatedDongle *dongle)
    : QObject(dongle), m_dongle(dongle), m_timer(new QTimer(this))
{
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &ScanBehaviour::onTick);

    // Downlink ID to what the dongle does with it.
    dongle->setResponder(QStringLiteral("01@3D"), [this](const QByteArray &frame) {
        QList<QByteArray> answers{SimulatedDongle::acknowledgement(frame)};
        answers << header(0xDD, 0x01, 0xF0, QByteArray(1, char(m_startScanStatus)));
        if (m_startScanStatus == 0) {
            m_scanning = true;
            m_owed = 0.0;
            m_lastTickMs = m_dongle ? m_dongle->elapsedMs() : 0;
            m_timer->start();
        }
        return answers;
    });
    dongle->setResponder(QStringLiteral("01@03"), [this](const QByteArray &frame) {
        m_scanning = false;
        if (m_syncs.isEmpty())
            m_timer->stop();
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame),
                                 header(0xDD, 0x01, 0x04, QByteArray::fromHex("0000"))};
    });
    // Sync commands are answered here only where no other behaviour keeps syncs.
    if (dongle->hasResponder(QStringLiteral("01@1F")))
        return;
    dongle->setResponder(QStringLiteral("01@1F"), [this](const QByteArray &frame) {
        const QByteArray payload = payloadOf(frame);
        const quint8 index = payload.isEmpty() ? 0 : quint8(payload.at(0));
        QByteArray addr = payload.mid(6, 6);
        quint8 addrType = payload.size() > 12 ? quint8(payload.at(12)) : 0;
        quint8 sid = payload.size() > 13 ? quint8(payload.at(13)) : 0;
        if (addr == QByteArray(6, '\0')) {
            // Through the periodic advertiser list: the first periodic advertiser.
            for (const SimAdvertiser &advertiser : qAsConst(m_advertisers)) {
                if (advertiser.periodicInterval) {
                    addr = advertiser.addr;
                    addrType = advertiser.addrType;
                    sid = advertiser.advSid;
                    break;
                }
            }
        }
        QByteArray result;
        result.append(char(index)).append(char(m_syncStatus)).append(char(2));
        result.append(QByteArray::fromHex("5000")).append(char(sid)).append(char(0));
        result.append(addr.leftJustified(6, '\0', true)).append(char(addrType));
        result.append(char(index + 1)).append(char(0)); // sync handle
        if (m_syncStatus == 0 && !m_syncs.contains(index)) {
            m_syncs.append(index);
            m_timer->start();
        }
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame),
                                 header(0xDD, 0x01, 0x20, result)};
    });
    dongle->setResponder(QStringLiteral("01@22"), [this](const QByteArray &frame) {
        const QByteArray payload = payloadOf(frame);
        const quint8 index = payload.isEmpty() ? 0 : quint8(payload.at(0));
        m_syncs.removeAll(index);
        if (!m_scanning && m_syncs.isEmpty())
            m_timer->stop();
        QByteArray result;
        result.append(char(index)).append(char(0));
        return QList<QByteArray>{SimulatedDongle::acknowledgement(frame),
                                 header(0xDD, 0x01, 0x23, result)};
    });
}

void ScanBehaviour::followSyncsOf(ListsBehaviour *lists)
{
    connect(lists, &ListsBehaviour::syncEstablished, this,
            [this](quint8 index, quint16, const QByteArray &, quint8, quint8) {
                if (!m_syncs.contains(index))
                    m_syncs.append(index);
                m_lastTickMs = m_dongle ? m_dongle->elapsedMs() : 0;
                m_timer->start();
            });
    connect(lists, &ListsBehaviour::syncEnded, this, [this](quint8 index) {
        m_syncs.removeAll(index);
        if (!m_scanning && m_syncs.isEmpty())
            m_timer->stop();
    });
}

void ScanBehaviour::setAdvertisers(const QVector<SimAdvertiser> &advertisers)
{
    m_advertisers = advertisers;
    m_perAdvertiser = QVector<qint64>(advertisers.size(), 0);
    m_next = 0;
}

void ScanBehaviour::setReportsPerSecond(int rate)
{
    m_rate = rate;
}

QByteArray ScanBehaviour::advertisingData(const SimAdvertiser &advertiser)
{
    QByteArray data = QByteArray::fromHex("020106");
    if (!advertiser.name.isEmpty()) {
        data.append(char(advertiser.name.size() + 1));
        data.append(char(advertiser.completeName ? 0x09 : 0x08));
        data.append(advertiser.name);
    }
    return data;
}

QByteArray ScanBehaviour::reportFrame(const SimAdvertiser &advertiser, quint8 classification,
                                      const QByteArray &adData, quint8 syncIndex)
{
    QByteArray payload = advertiser.addr.leftJustified(6, '\0', true);
    payload.append(char(advertiser.addrType));
    payload.append(char(advertiser.txPower));
    payload.append(char(advertiser.rssi));
    payload.append(char(advertiser.advType));
    payload.append(char(classification));
    payload.append(char(advertiser.phyPrim));
    payload.append(char(advertiser.phySecond));
    payload.append(char(advertiser.advSid));
    payload.append(char(advertiser.periodicInterval & 0xFF));
    payload.append(char(advertiser.periodicInterval >> 8));
    payload.append(char(syncIndex));
    payload.append(QByteArray(2, '\0')); // two leading bytes the page drops
    payload.append(adData);
    return header(0xDD, 0x01, 0x02, payload);
}

QByteArray ScanBehaviour::advertisingReport(const SimAdvertiser &advertiser)
{
    return reportFrame(advertiser, advertiser.classification, advertisingData(advertiser));
}

QByteArray ScanBehaviour::scanResponseReport(const SimAdvertiser &advertiser)
{
    return reportFrame(advertiser, advertiser.classification == 1 ? 3 : 2, advertiser.scanResponse);
}

QVector<SimAdvertiser> ScanBehaviour::sampleAdvertisers(int n)
{
    QVector<SimAdvertiser> advertisers;
    advertisers.reserve(n);
    for (int i = 0; i < n; ++i) {
        SimAdvertiser advertiser;
        advertiser.addr = QByteArray::fromHex("000000a0b0c0");
        advertiser.addr[0] = char(i & 0xFF);
        advertiser.addr[1] = char((i >> 8) & 0xFF);
        advertiser.addr[2] = char((i >> 16) & 0xFF);
        advertiser.addrType = quint8(i % 2);
        advertiser.rssi = qint8(-30 - (i % 60));
        if (i % 3 != 0)
            advertiser.name = QStringLiteral("Device %1").arg(i).toUtf8();
        if (i % 4 == 3) {
            advertiser.classification = 1;
            advertiser.phySecond = 0;
        }
        if (i % 5 == 4) {
            advertiser.periodicInterval = 0x50;
            advertiser.advType = 0x01;
            advertiser.advSid = quint8(i % 16);
        }
        if (i % 7 == 0)
            advertiser.scanResponse = QByteArray::fromHex("03ff4c00");
        advertisers.append(advertiser);
    }
    return advertisers;
}

void ScanBehaviour::onTick()
{
    if (!m_dongle || m_dongle->hasVanished()) {
        m_timer->stop();
        return;
    }
    const qint64 now = m_dongle->elapsedMs();
    const qint64 elapsed = now - m_lastTickMs;
    m_lastTickMs = now;

    QList<QByteArray> frames;
    if (m_scanning && m_rate > 0 && !m_advertisers.isEmpty()) {
        m_owed += double(m_rate) * double(elapsed) / 1000.0;
        // Never more than a second's worth at once after a stall.
        m_owed = qMin(m_owed, double(m_rate));
        while (m_owed >= 1.0) {
            m_owed -= 1.0;
            const SimAdvertiser &advertiser = m_advertisers.at(m_next);
            frames.append(advertisingReport(advertiser));
            ++m_perAdvertiser[m_next];
            ++m_reportsSent;
            if (!advertiser.scanResponse.isEmpty() && m_owed >= 1.0) {
                m_owed -= 1.0;
                frames.append(scanResponseReport(advertiser));
                ++m_perAdvertiser[m_next];
                ++m_reportsSent;
            }
            m_next = (m_next + 1) % m_advertisers.size();
        }
    }
    // A periodic train reports ten times a second.
    if (m_periodicReports && ++m_periodicTick % 10 == 0) {
        for (quint8 index : qAsConst(m_syncs)) {
            SimAdvertiser train;
            train.addr = QByteArray::fromHex("0102030405c0");
            frames.append(reportFrame(train, 4, QByteArray::fromHex("05ff590001020304"), index));
        }
    }
    if (!frames.isEmpty())
        m_dongle->sendUplinks(frames);
}

ScanBehaviour *installScanBehaviour(SimulatedDongle &dongle)
{
    return new ScanBehaviour(&dongle);
}

namespace {

void installForProgram(SimulatedDongle &dongle)
{
    // By hand: a few hundred advertisers at a readable rate.
    ScanBehaviour *behaviour = installScanBehaviour(dongle);
    if (ListsBehaviour *lists = ListsBehaviour::of(dongle))
        behaviour->followSyncsOf(lists);
    behaviour->setAdvertisers(ScanBehaviour::sampleAdvertisers(300));
    behaviour->setReportsPerSecond(200);
}

const bool registered = SimulatedDongle::registerBehaviour(QStringLiteral("scan"), installForProgram);

} // namespace
