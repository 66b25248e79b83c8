#pragma once

#include <QByteArray>
#include <QString>

// One stage of a download through the dongle's UART boot loader, as a pure
// state machine fed answers and the time: start, flash chunks, end,
// reset-and-run, each frame waiting for its answer under a watchdog. It owns
// no timer and no port; its listener sends the frames and runs the pauses.
class BootLoaderEngine
{
public:
    static constexpr int DefaultStepTimeoutMs = 5000;
    static constexpr int DefaultEndPauseMs = 500;
    static constexpr int DefaultRunPauseMs = 2000;
    static constexpr int ChunkSize = 1024;
    static constexpr int MaxAnswerPayload = 2000;
    static constexpr int HeaderSize = 6;
    static constexpr quint8 AnswerSuccess = 1;

    enum Command : quint16 { NoCommand = 0, CmdResetRun = 0x02, CmdStart = 0x23, CmdFlash = 0x24, CmdEnd = 0x25 };
    enum State { Idle, Awaiting, Paused };

    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void sendBootFrame(const QByteArray &frame) = 0;
        virtual void engineLog(const QString &text, int level) = 0;
        // Call resume() once `ms` have passed; the engine ignores answers meanwhile.
        virtual void pauseFor(int ms) = 0;
        virtual void flashProgress(quint32 sent, quint32 total) = 0;
        virtual void stageFinished() = 0;
        // The boot loader refused a frame or a step's watchdog expired.
        virtual void stageFailed(const QString &reason) = 0;
        // Whether the frame last handed to sendBootFrame() has left for the
        // wire: an answer that comes before it cannot be its answer.
        virtual bool lastFrameLeft() const { return true; }
    };

    explicit BootLoaderEngine(Listener *listener, int stepTimeoutMs = DefaultStepTimeoutMs);

    void setStepTimeout(int ms) { m_stepTimeoutMs = ms; }
    int stepTimeout() const { return m_stepTimeoutMs; }
    void setPauses(int afterEndMs, int afterRunMs);

    // Takes the whole image and sends its start frame. False, with the
    // reason and nothing sent, when the image has no usable trailer.
    bool startStage(const QByteArray &image, qint64 nowMs, QString *error = nullptr);
    // One answer of the boot loader, whole ("QK" to the frame sum). Only the
    // answer to the awaited frame moves on; a repeated or late success is
    // ignored, and any refusal fails the stage. So does an answer that cannot
    // be read once the awaited frame has left: nothing else can answer, and
    // the boot loader does not answer twice.
    void feed(const QByteArray &answer, qint64 nowMs);
    // The pause asked for by pauseFor() is over.
    void resume(qint64 nowMs);
    // Fails the stage when the step's watchdog has expired.
    void checkTime(qint64 nowMs);
    // Drops the stage without a report.
    void abort();

    State state() const { return m_state; }
    quint16 currentStep() const { return m_step; }
    // When the step under way fails; -1 while nothing is awaited.
    qint64 deadline() const { return m_state == Awaiting ? m_deadline : -1; }
    quint32 bytesSent() const { return m_sent; }
    quint32 imageSize() const { return quint32(m_image.size()); }
    quint32 loadAddress() const { return m_loadAddress; }
    QByteArray trailerCopy() const { return m_trailer; }

    // "QK", u16 command, u16 length, payload and the u16 sum of everything
    // after the magic.
    static QByteArray frame(quint16 command, const QByteArray &payload);
    static quint16 frameSum(const QByteArray &bytes, int from, int to);
    // An answer to `command` with a good sum and the success status.
    static bool isSuccessAnswer(const QByteArray &answer, quint16 command);
    // A whole answer with a good sum and a status byte; command and status
    // are filled when it is.
    static bool parseAnswer(const QByteArray &answer, quint16 *command, quint8 *status);
    // Why a boot-loader frame cannot be read as an answer ("its sum is
    // wrong"); empty when it can, or when it is no boot-loader frame at all.
    static QString unreadableReason(const QByteArray &answer);

private:
    // "flash frame 3 of 117": the frame an answer to `command` would answer now.
    QString frameName(quint16 command) const;
    // "while waiting for the answer to ...", "during the pause after ...".
    QString whereWeAre() const;
    void fail(const QString &reason);
    void sendStep(quint16 command, const QByteArray &payload, const char *stepLine, qint64 nowMs);
    void flashNext(qint64 nowMs);
    void release();

    Listener *m_listener;
    int m_stepTimeoutMs;
    int m_endPauseMs = DefaultEndPauseMs;
    int m_runPauseMs = DefaultRunPauseMs;
    State m_state = Idle;
    quint16 m_step = NoCommand;
    // The step a pause leads to.
    quint16 m_afterPause = NoCommand;
    qint64 m_deadline = 0;
    QByteArray m_image;
    QByteArray m_trailer;
    quint32 m_loadAddress = 0;
    quint32 m_sent = 0;
};
