#pragma once

#include "dialogofakind.h"
#include "logger.h"
#include "logmanager.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class CMsg;

// Requests of one kind that distinct peers or streams may make at once (a
// channel per peer CID, a CIS per handle). While the dialog of one waits for
// the user, the others wait their turn in a short line, and the page asks
// them one after another, each in a dialog of its own. Only a repeat of a
// request asked or waiting, or a request beyond the bound, is refused, at
// the pace DialogOfAKind::refuseAtPace keeps.
//
//     if (!m_requests.admit(key, request, link, logger, refuseIt))
//         return;                                // it waits, or was refused
//     while (m_requests.next(&key, &request))
//         ask(key, request);                     // m_requests.asking(dialog); dialog->exec()
template <typename Request>
class RequestQueue
{
public:
    static constexpr int DefaultBound = 8;

    explicit RequestQueue(const QString &kind, int bound = DefaultBound) : m_kind(kind), m_bound(bound) {}

    // Takes a request by its key. True when the caller is to ask now (no
    // dialog of the kind is open): it then runs next() until the line is
    // empty. False when the request waits its turn or was refused.
    bool admit(const QString &key, const Request &request, CMsg *link, LogManager *logger,
               const std::function<void()> &refuse)
    {
        const bool asking = m_asked && m_asked->isVisible();
        if ((asking && key == m_askedKey) || isWaiting(key)) {
            DialogOfAKind::refuseAtPace(m_kind, QStringLiteral("the one before is still waiting for an answer"), link,
                                        logger, refuse);
            return false;
        }
        if (m_waiting.size() >= m_bound) {
            DialogOfAKind::refuseAtPace(m_kind, QStringLiteral("%1 others already wait for an answer").arg(m_bound),
                                        link, logger, refuse);
            return false;
        }
        m_waiting.append(Waiting{key, request});
        if (!asking)
            return true;
        if (logger)
            logger->log(QStringLiteral("%1 waits until the one before is answered.").arg(m_kind), LogLevel::Info);
        return false;
    }

    // The oldest waiting request, now the one asked; false when none waits.
    bool next(QString *key, Request *request)
    {
        if (m_waiting.isEmpty())
            return false;
        Waiting first = m_waiting.takeFirst();
        m_askedKey = first.key;
        m_asked.clear();
        *key = first.key;
        *request = first.request;
        return true;
    }

    // The dialog that asks the request next() gave; a repeat of it is refused while it is shown.
    void asking(QDialog *dialog) { m_asked = dialog; }

    // Forgets the waiting requests (the dongle or the connection they came
    // over has gone); returns how many there were.
    int clear()
    {
        const int dropped = m_waiting.size();
        m_waiting.clear();
        return dropped;
    }

    int waiting() const { return m_waiting.size(); }

private:
    struct Waiting
    {
        QString key;
        Request request;
    };

    bool isWaiting(const QString &key) const
    {
        for (const Waiting &waiting : m_waiting) {
            if (waiting.key == key)
                return true;
        }
        return false;
    }

    QString m_kind;
    int m_bound;
    QList<Waiting> m_waiting;
    QString m_askedKey;
    QPointer<QDialog> m_asked;
};
