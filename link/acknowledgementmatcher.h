#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <functional>

class LogManager;

// Which command each acknowledgement of one link answers. An acknowledgement
// ("BB layer opcode" and a status) names the command but neither the
// connection nor the page that sent it; the dongle, though, answers its
// commands in order. So every command queued on the link that the uplink
// catalogue gives an acknowledgement waits here in sending order, and an
// acknowledgement answers the oldest waiting command of its ID that has left.
// Commands before that one still waiting were skipped: their answer is lost,
// and the log says so.
//
// A page that claims a command it has queued gets that command's
// acknowledgement alone, or an empty frame when it was lost; no other page
// hears of it. A command answered at its own pace (once per test packet)
// waits nowhere: its acknowledgements go to whoever listens for its ID, as do
// those that answer no waiting command. Acknowledgements nobody claimed or
// listens for go out on the link's layer signals as before.
//
// Fed by its link (CMsg): the frames it queues with their numbers, the
// acknowledgements it reads with the number of frames that have left.
class AcknowledgementMatcher
{
public:
    // The acknowledgement as the link hands it on, or an empty frame when it was lost.
    using Handler = std::function<void(const QByteArray &acknowledgement)>;

    // Beyond this many commands that left unanswered, the oldest are no longer waited for.
    static constexpr int MaxWaiting = 1024;

    explicit AcknowledgementMatcher(LogManager *logger);

    // --- the link ---
    void queued(quint64 number, const QByteArray &frame, quint64 lastLeft);
    // Hands an acknowledgement to the command it answers; true when a page
    // claimed that command, so nobody else may hear of it.
    bool take(const QByteArray &acknowledgement, quint64 lastLeft);
    // Nothing queued so far will be answered (the port closed, the dongle reset).
    void forgetAll();

    // --- pages ---
    // A command's ID: its layer and opcode, as its acknowledgement repeats them.
    static constexpr quint16 commandId(quint8 layer, quint8 opcode) { return quint16(layer << 8 | opcode); }
    // The newest unclaimed command of `commandId` still waiting gets
    // `handler` for its acknowledgement, called as long as `context` lives.
    // False when no such command waits.
    bool claimNewest(quint16 commandId, QObject *context, Handler handler);
    // The newest unclaimed command of `commandId` is answered at its own pace
    // (one acknowledgement per test packet), not in its turn: it does not wait
    // here. False when no such command waits.
    bool releaseNewest(quint16 commandId);
    // Acknowledgements of `commandId` that answer no waiting command go to
    // `handler` from now on, as long as `context` lives; a later listener of
    // the ID takes its place.
    void listen(quint16 commandId, QObject *context, Handler handler);
    // Commands still waiting for their acknowledgement.
    int waiting() const { return int(m_entries.size()); }
    // Acknowledgements handed to the requests that claimed them so far.
    quint64 handedToRequests() const { return m_handed; }

private:
    struct Entry
    {
        quint16 id = 0;
        quint64 number = 0;
        bool claimed = false;
        QPointer<QObject> context;
        Handler handler;
    };

    struct Listener
    {
        QPointer<QObject> context;
        Handler handler;
    };

    bool hasAcknowledgement(quint16 id);
    static QString nameOf(quint16 id);
    Entry *newestUnclaimed(quint16 id);
    // An acknowledgement that answers no waiting command, to the listener of its ID.
    bool handToListener(quint16 id, const QByteArray &acknowledgement);
    void logSkipped(const std::deque<Entry> &skipped, quint16 answered) const;
    void log(const QString &text, int level) const;

    LogManager *m_logger;
    std::deque<Entry> m_entries;
    // By layer and opcode: whether the catalogue knows the command's acknowledgement.
    QHash<quint16, bool> m_acknowledged;
    QHash<quint16, Listener> m_listeners;
    bool m_overflowTold = false;
    quint64 m_handed = 0;
};
