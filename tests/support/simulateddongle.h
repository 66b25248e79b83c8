#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class LinePacer;
class QSocketNotifier;
class QTimer;

// A dongle on the master side of a pseudo-terminal, for tests and for trying
// the program by hand. The program opens portPath() like any serial port.
//
// Downlink bytes are cut into frames (0xAA frames with their 8-bit checksum,
// "QK" boot-loader frames with their 16-bit sum), recorded with their arrival
// time and answered from a table keyed by downlink ID:
//   "LL@OO"   layer and opcode as two upper-case hex digits each ("01@84");
//   "QK@CCCC" a boot-loader frame by its 16-bit command ("QK@0023").
// A row is a function from the received frame (checksum included) to the
// frames to send back; the dongle appends each answer's checksum (8-bit, or
// the 16-bit sum for a "QK" answer). Without a row the default responder
// answers: every 0xAA command gets "BB layer opcode 01 00 00", "Reset" gets
// that and the reset event, the port probe gets a probe reply; boot-loader
// frames get no answer.
//
// Later areas teach it their answers from their own simbehaviour_<area>.cpp:
//   void installScanBehaviour(SimulatedDongle &dongle) { dongle.setResponder(...); }
//   static const bool registered = SimulatedDongle::registerBehaviour("scan", installScanBehaviour);
// Tests call the install function they need; the standalone program installs
// every registered one.
class SimulatedDongle : public QObject
{
    Q_OBJECT

public:
    using Responder = std::function<QList<QByteArray>(const QByteArray &frame)>;
    using Installer = std::function<void(SimulatedDongle &dongle)>;

    struct ReceivedFrame
    {
        QByteArray bytes;  // as on the wire, checksum included
        QString id;        // "LL@OO" or "QK@CCCC"
        qint64 atMs = 0;   // arrival, milliseconds since the dongle was made
    };

    explicit SimulatedDongle(QObject *parent = nullptr);
    ~SimulatedDongle() override;

    bool isValid() const { return m_master >= 0 || m_vanished; }
    QString portPath() const { return m_portPath; }
    // For writers outside the event loop (benchmarks); -1 once vanished.
    int masterFd() const { return m_master; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // --- the answer table ---
    static QString downlinkId(const QByteArray &frame);
    void setResponder(const QString &id, Responder responder);
    void removeResponder(const QString &id);
    bool hasResponder(const QString &id) const { return m_responders.contains(id); }
    // Answers frames without a row; replaces the built-in default.
    void setDefaultResponder(Responder responder);
    // The built-in default for a frame, for rows that add to it.
    static QList<QByteArray> defaultAnswer(const QByteArray &frame);
    // "BB layer opcode 01 00 status" for a received 0xAA frame (no checksum).
    static QByteArray acknowledgement(const QByteArray &frame, quint8 status = 0);
    // Answers are sent this long after the frame arrived (0: at once).
    void setResponseDelay(int ms) { m_responseDelayMs = ms; }
    // A silent dongle records frames but answers nothing by itself.
    void setSilent(bool silent) { m_silent = silent; }
    bool isSilent() const { return m_silent; }

    // --- faults, per downlink ID, until cleared; they act on whatever the
    // row or the default responder answers ---
    // Which frames of the ID a fault takes: every one, only those whose byte
    // at catalogue index `index` (wire byte index + 1) is `value` (the
    // connection index of a command, say), and at most `count` of them.
    struct Which
    {
        int index = -1;
        quint8 value = 0;
        int count = -1; // -1: no limit
        static Which every() { return {}; }
        static Which byteAt(int index, quint8 value, int count = -1) { return {index, value, count}; }
        static Which first(int count) { return {-1, 0, count}; }
    };
    // Answers only "BB layer opcode 01 00 status": the dongle refuses the
    // command, and its row is not asked (nothing of the command takes place).
    void refuse(const QString &id, quint8 status, const Which &which = Which::every());
    // Sends the acknowledgement and drops every result or event the command
    // would bring (a "QK" frame gets nothing at all).
    void withholdResult(const QString &id, const Which &which = Which::every());
    // The command takes place and its results come, but its acknowledgement
    // is lost on the way.
    void dropAcknowledgement(const QString &id, const Which &which = Which::every());
    // The dongle holds the acknowledgement back, and, answering in order,
    // everything it would answer after it, until releaseHeld().
    void holdAcknowledgement(const QString &id, const Which &which = Which::every());
    void releaseHeld();
    bool isHolding() const { return m_holding; }
    // `ms` after a frame of `id` is answered, sends what `later` makes of that
    // frame: a peer lost in the middle of an exchange, a late second answer.
    void sendLater(const QString &id, int ms, Responder later);
    void clearFault(const QString &id);
    void clearFaults();

    // --- behaviours of later areas ---
    static bool registerBehaviour(const QString &name, Installer installer);
    static QStringList registeredBehaviours();
    void installRegisteredBehaviours();

    // --- the uplink ---
    // Appends the checksum ("QK" frames: the 16-bit sum) and sends.
    void sendUplink(const QByteArray &frameWithoutChecksum);
    void sendUplinks(const QList<QByteArray> &framesWithoutChecksum);
    // Sends bytes exactly as given: finished frames, garbage, pieces.
    void sendRaw(const QByteArray &bytes);
    void sendResetEvent();
    void sendDongleLog(const QByteArray &text, quint8 layer = 0);
    // A dongle that stops reading lets the pseudo-terminal fill up, so the
    // program's writes are taken only in part.
    void setReading(bool reading);
    bool isReading() const { return m_reading; }
    // Line rate: what the dongle reads and writes moves at 460800 baud 8N1
    // (46,080 bytes/s each way), as over a real serial line; a frame is
    // handled once its last byte has crossed. Off: as fast as the terminal.
    void setLineRate(bool on);
    bool isLineRate() const { return m_readPacer != nullptr; }
    // At line rate: what crosses the line while the terminal takes nothing
    // more (no program reads the port) is lost, as a serial adapter loses it,
    // instead of waiting. A dongle left streaming then holds no backlog.
    void setUnreadIsLost(bool lost) { m_unreadIsLost = lost; }
    qint64 lostBytes() const { return m_lostBytes; }
    // Closes the master (and the kept slave): the device is gone.
    void vanish();
    bool hasVanished() const { return m_vanished; }
    // Bytes handed to sendRaw/sendUplink that the pseudo-terminal has not taken yet.
    int pendingUplinkBytes() const { return m_out.size(); }

    // --- what arrived ---
    QList<ReceivedFrame> receivedFrames() const { return m_received; }
    QList<QByteArray> receivedBytes() const;
    // The frames of one downlink ID, in arrival order.
    QList<QByteArray> receivedBytesOf(const QString &id) const;
    QStringList receivedIds() const;
    int receivedCount() const { return m_received.size(); }
    void clearReceived();
    // Bytes that were not part of a good frame (garbage, bad checksums).
    QByteArray discardedBytes() const { return m_discarded; }
    int badChecksumCount() const { return m_badChecksums; }
    // Runs the event loop until `count` frames have arrived in total.
    bool waitForFrames(int count, int timeoutMs = 5000);

signals:
    void frameReceived(const QByteArray &frame);

private:
    void onReadable();
    void onWritable();
    void cutFrames();
    void handleFrame(const QByteArray &frame);
    // Sends, or keeps behind a held acknowledgement; `hold` starts holding.
    void answer(const QList<QByteArray> &frames, bool hold = false);
    void flushOut();
    void closeAll();
    void pace();

    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_portPath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QElapsedTimer m_clock;
    QByteArray m_in;
    QByteArray m_out;
    QByteArray m_discarded;
    int m_badChecksums = 0;
    QList<ReceivedFrame> m_received;
    QHash<QString, Responder> m_responders;
    Responder m_defaultResponder;
    enum class AcknowledgementFate { Sent, Dropped, Held };
    struct Fault
    {
        int refuseStatus = -1;
        bool withhold = false;
        AcknowledgementFate acknowledgement = AcknowledgementFate::Sent;
        int laterMs = -1;
        Responder later;
        Which which;
        int taken = 0;
    };
    // The fault takes this frame (and counts it).
    static bool takes(Fault &fault, const QByteArray &frame);
    QHash<QString, Fault> m_faults;
    bool m_holding = false;
    QList<QByteArray> m_held;
    int m_responseDelayMs = 0;
    bool m_silent = false;
    bool m_vanished = false;
    bool m_reading = true;
    bool m_unreadIsLost = false;
    qint64 m_lostBytes = 0;
    // Line-rate mode: bytes read but not yet across the line.
    QByteArray m_inFlight;
    std::unique_ptr<LinePacer> m_readPacer;
    std::unique_ptr<LinePacer> m_writePacer;
    QTimer *m_paceTimer = nullptr;
};
