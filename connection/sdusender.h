#pragma once

#include <QByteArray>
#include <QList>

// The sending side of one credit-based channel, without Qt widgets or a link:
// data is cut into SDUs of at most the peer's MTU, exactly one SDU is in
// flight (the head of the queue) and the head leaves the queue only when the
// dongle reports it sent. A credit error holds the head until the peer grants
// credits. The page around it sends what this class says and feeds it the
// dongle's reports.
class SduSender
{
public:
    // "Send SDU" carries a 16-bit payload length over 5 bytes of fields.
    static constexpr int MaxSduLength = 65530;

    void setPeerMtu(quint32 mtu) { m_peerMtu = mtu; }
    quint32 peerMtu() const { return m_peerMtu; }
    // The length SDUs are cut at: the peer's MTU, at most MaxSduLength; 0 when unusable.
    int sduLength() const;
    bool canCut() const { return sduLength() > 0; }

    // Appends the SDUs of data behind what is queued. Nothing is queued for
    // empty data or an unusable MTU; returns the number of SDUs added.
    int enqueue(const QByteArray &data);
    static QList<QByteArray> cut(const QByteArray &data, int sduLength);

    bool isEmpty() const { return m_queue.isEmpty(); }
    int queuedCount() const { return m_queue.size(); }
    qint64 queuedBytes() const;
    // The SDU in flight (or about to be); empty when nothing is queued.
    QByteArray head() const { return m_queue.isEmpty() ? QByteArray() : m_queue.first(); }

    // The dongle reported the head sent: it leaves the queue. Returns its
    // length, -1 when nothing was queued.
    int headSent();

    // The dongle refused the head for lack of credits.
    void holdForCredit() { m_heldForCredit = true; }
    bool isHeldForCredit() const { return m_heldForCredit; }
    // The peer granted credits: true when a held head is to be sent again
    // (the hold ends); false when nothing was held or nothing is queued.
    bool resumeAfterCredit();

    // The transfer is abandoned: queue and hold are dropped.
    void clear();

private:
    QList<QByteArray> m_queue;
    quint32 m_peerMtu = 0;
    bool m_heldForCredit = false;
};

// What a channel's page decides about returning credits to the peer.
class CreditReturn
{
public:
    // The least number of credits one SDU of the local MTU takes, plus one;
    // 0 when the MPS is 0 (no usable channel).
    static quint32 minimumCredits(quint32 mtu, quint32 mps);
    // Initial credits a channel records: the granted count, but at least what
    // one full SDU takes (MPS 0: the granted count).
    static quint32 initialCredits(quint32 granted, quint32 mtu, quint32 mps);
    // Never more than the peer has used.
    static quint32 creditsToReturn(quint32 setting, quint32 consumed) { return setting > consumed ? consumed : setting; }

    // After an SDU arrived: true when an automatic return is due now.
    bool isDue(qint64 remaining, qint64 threshold) const { return !m_pending && remaining < threshold; }
    // An automatic return was handed to the link; a refused one does not
    // count, so the next SDU tries again.
    void sent() { m_pending = true; }
    // The dongle's result for a return came back, good or bad.
    void resultArrived() { m_pending = false; }
    bool isPending() const { return m_pending; }

private:
    bool m_pending = false;
};
