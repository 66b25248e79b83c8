#include "uplinkrecorder.h"

#include "cmsg.h"

#include <QtTest/QTest>

UplinkRecorder::UplinkRecorder(CMsg *link, QObject *parent)
    : QObject(parent)
{
    const auto follow = [this, link](void (CMsg::*signal)(QByteArray), const char *name) {
        connect(link, signal, this, [this, name](const QByteArray &frame) { record(name, frame); });
    };
    follow(&CMsg::sig_rcvCommonMsg, "sig_rcvCommonMsg");
    follow(&CMsg::sig_rcvGapMsg, "sig_rcvGapMsg");
    follow(&CMsg::sig_rcvSmMsg, "sig_rcvSmMsg");
    follow(&CMsg::sig_rcvGattMsg, "sig_rcvGattMsg");
    follow(&CMsg::sig_rcvL2capMsg, "sig_rcvL2capMsg");
    follow(&CMsg::sig_rcvRfuMsg, "sig_rcvRfuMsg");
    follow(&CMsg::sig_rcvBIGCIGMsg, "sig_rcvBIGCIGMsg");
    follow(&CMsg::sig_rcvDownLoadMsg, "sig_rcvDownLoadMsg");
    follow(&CMsg::sig_rcvDongleLog, "sig_rcvDongleLog");
    follow(&CMsg::sig_rcvLCPMsg, "sig_rcvLCPMsg");
    follow(&CMsg::sig_rcvIDTMsg, "sig_rcvIDTMsg");
}

void UplinkRecorder::record(const char *signal, const QByteArray &frame)
{
    m_entries.append({QString::fromLatin1(signal), frame});
}

QStringList UplinkRecorder::lines() const
{
    QStringList lines;
    for (const Entry &entry : m_entries)
        lines.append(entry.signal + QLatin1Char(' ') + QString::fromLatin1(entry.frame.toHex()));
    return lines;
}

QStringList UplinkRecorder::signalsOf(const QByteArray &frame) const
{
    QStringList names;
    for (const Entry &entry : m_entries) {
        if (entry.frame == frame)
            names.append(entry.signal);
    }
    return names;
}

bool UplinkRecorder::waitFor(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_entries.size() >= count; }, timeoutMs);
}
