#include "isodatacodec.h"

#include "cutil.h"

#include <QRandomGenerator>

QByteArray IsoDataCodec::sduFromReversedDigits(const QString &digits)
{
    // Pairs count from the last digit: a lone first digit is no byte.
    return CUtil::hexPairBytes(digits.mid(digits.size() % 2), CUtil::Reversed);
}

QByteArray IsoDataCodec::randomSdu(int count)
{
    QByteArray sdu(qMax(0, count), Qt::Uninitialized);
    for (char &byte : sdu)
        byte = char(QRandomGenerator::system()->bounded(256));
    return sdu;
}

QMap<QString, QVariant> IsoDataCodec::sendFields(quint16 handle, const QByteArray &sdu)
{
    return {{QStringLiteral("connection_handle"), uint(handle)},
            {QStringLiteral("data_length"), uint(quint16(sdu.size()))},
            {QStringLiteral("value"), sdu}};
}

QByteArray IsoDataCodec::receiveRecord(const QMap<QString, QByteArray> &fields, const QVector<CmdFieldInfo> &layout)
{
    static const char *const payloadKeys[] = {"connection_handle", "time_stamp", "packet_sn",
                                              "packet_status", "data_length", "data"};
    QByteArray raw;
    for (const char *key : payloadKeys)
        raw += fields.value(QLatin1String(key));

    // Built in place: one record is written per received SDU.
    QString text = QStringLiteral("Raw Data: ");
    CUtil::appendHex(text, raw);
    text += QStringLiteral("\r\nField Data: ");
    int offset = 0;
    for (const CmdFieldInfo &field : layout) {
        const int length = int(field.length);
        text += field.key + QStringLiteral("->");
        CUtil::appendHex(text, raw.mid(offset, length), ':');
        offset += length;
        text += QStringLiteral("  ");
    }
    CUtil::appendHex(text, fields.value(QStringLiteral("data")), ':');
    text += QStringLiteral("\r\n");
    return text.toLatin1();
}

IsoRepeatPacer::Step IsoRepeatPacer::tick(int times, int queuedFrames)
{
    if (m_sent >= times) {
        m_sent = 0;
        return Step::Finished;
    }
    if (queuedFrames >= MaxQueuedFrames)
        return Step::Wait;
    ++m_sent;
    return Step::Send;
}
