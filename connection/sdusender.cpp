#include "sdusender.h"

int SduSender::sduLength() const
{
    if (m_peerMtu == 0)
        return 0;
    return m_peerMtu > quint32(MaxSduLength) ? MaxSduLength : int(m_peerMtu);
}

QList<QByteArray> SduSender::cut(const QByteArray &data, int sduLength)
{
    QList<QByteArray> sdus;
    if (sduLength <= 0)
        return sdus;
    for (int offset = 0; offset < data.size(); offset += sduLength)
        sdus.append(data.mid(offset, sduLength));
    return sdus;
}

int SduSender::enqueue(const QByteArray &data)
{
    const QList<QByteArray> sdus = cut(data, sduLength());
    m_queue.append(sdus);
    return sdus.size();
}

qint64 SduSender::queuedBytes() const
{
    qint64 total = 0;
    for (const QByteArray &sdu : m_queue)
        total += sdu.size();
    return total;
}

int SduSender::headSent()
{
    if (m_queue.isEmpty())
        return -1;
    return m_queue.takeFirst().size();
}

bool SduSender::resumeAfterCredit()
{
    if (!m_heldForCredit || m_queue.isEmpty())
        return false;
    m_heldForCredit = false;
    return true;
}

void SduSender::clear()
{
    m_queue.clear();
    m_heldForCredit = false;
}

quint32 CreditReturn::minimumCredits(quint32 mtu, quint32 mps)
{
    if (mps == 0)
        return 0;
    return quint32((quint64(mtu) + 1 + mps) / mps + 1);
}

quint32 CreditReturn::initialCredits(quint32 granted, quint32 mtu, quint32 mps)
{
    if (mps == 0)
        return granted;
    const quint32 least = quint32((quint64(mtu) + 1 + mps) / mps + 1);
    return granted > least ? granted : least;
}
