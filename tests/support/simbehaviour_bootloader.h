#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

class SimulatedDongle;

// The dongle's UART boot loader: finds "QK" frames in the stream, checks what
// the downloader sends (start with the trailer copy, flash frames at
// contiguous addresses, the end sum, the reset-and-run bytes) and answers
// each frame with its command and status 1. Fault modes answer wrongly or
// not at all, for one command or for every one.
class SimBootLoader : public QObject
{
    Q_OBJECT

public:
    enum Fault { NoFault, BadStatus, WrongSum, Silence };
    static constexpr quint16 AnyCommand = 0xFFFF;
    // The serial line the real loader sits behind: 460800 baud, 8N1.
    static constexpr double LineBytesPerMs = 46.08;

    // What one stage (start to reset-and-run) put into the loader.
    struct Stage
    {
        QByteArray trailerCopy;     // 40 bytes of the start frame
        quint32 firstAddress = 0;
        QByteArray flashed;         // the data of every flash frame, in order
        QList<quint32> addresses;   // of every flash frame
        int flashFrames = 0;
        quint32 endSum = 0;         // as sent
        bool endSumMatches = false; // against the flashed bytes
        QByteArray runBytes;        // the reset-and-run payload
        bool ran = false;           // reset-and-run seen, matching the trailer
    };

    explicit SimBootLoader(SimulatedDongle &dongle);

    void setFault(Fault fault, quint16 command = AnyCommand);
    // Every answer is sent twice, as a loader that repeats itself would.
    void setRepeatedAnswers(bool on) { m_repeatAnswers = on; }
    // The occurrence-th frame of `command` (1-based, over the whole run) is
    // answered with status 0.
    void refuseFrame(quint16 command, int occurrence);
    // Answers only after the wire time of the frame and its answer, as a
    // loader behind a real 460800 baud line would.
    void setLineRate(bool on) { m_lineRate = on; }

    QList<Stage> stages() const { return m_stages; }
    // Protocol mistakes seen in the frames (empty when every frame was right).
    QStringList errors() const { return m_errors; }
    int framesSeen() const { return m_framesSeen; }
    // Bytes on the wire in both directions, frames and answers.
    qint64 wireBytes() const { return m_wireBytes; }

    // The answer frame, whole, with its sum.
    static QByteArray answer(quint16 command, quint8 status);

private:
    QList<QByteArray> onFrame(const QByteArray &frame);
    void check(const QByteArray &frame, quint16 command, const QByteArray &payload);
    Stage *currentStage();

    SimulatedDongle &m_dongle;
    Fault m_fault = NoFault;
    quint16 m_faultCommand = AnyCommand;
    bool m_lineRate = false;
    bool m_repeatAnswers = false;
    quint16 m_refusedCommand = AnyCommand;
    int m_refusedOccurrence = 0;
    QHash<quint16, int> m_seenOf;
    QList<Stage> m_stages;
    QStringList m_errors;
    int m_framesSeen = 0;
    qint64 m_wireBytes = 0;
};

// A boot loader on the dongle, owned by it.
void installBootLoaderBehaviour(SimulatedDongle &dongle);
