#pragma once

#include "cfgtypes.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>
#include <QVector>

// The ISO data panel's protocol work without widgets: turning typed hex text
// into an SDU, the field map of one "Send ISO data" frame, the text record a
// received SDU leaves in its file, and the pacing of a repeated send.
class IsoDataCodec
{
public:
    // The send box gives its digits last byte first (odd counts already
    // evened); the SDU carries the bytes in the order they were typed.
    static QByteArray sduFromReversedDigits(const QString &digits);
    // `count` bytes drawn from 0..255.
    static QByteArray randomSdu(int count);
    static QMap<QString, QVariant> sendFields(quint16 handle, const QByteArray &sdu);

    // The two-line record of one received SDU: the raw payload, then each
    // field of the catalogue's layout of the frame by key, then the data.
    static QByteArray receiveRecord(const QMap<QString, QByteArray> &fields, const QVector<CmdFieldInfo> &layout);
};

// When a repeated send may put its next frame on the link: one frame per
// tick, never while the link still holds more than a few unsent frames, so
// the frames leave at the line's pace and the queue stays short.
class IsoRepeatPacer
{
public:
    enum class Step { Send, Wait, Finished };
    static constexpr int MaxQueuedFrames = 2;

    // Called per tick with the wanted frame count and the link's queue depth.
    Step tick(int times, int queuedFrames);
    int sent() const { return m_sent; }
    void reset() { m_sent = 0; }

private:
    int m_sent = 0;
};
