#include "acknowledgementmatcher.h"

#include "ccfgfileparse.h"
#include "logger.h"
#include "logmanager.h"
#include "uplinkheader.h"

#include <QStringList>

#include <iterator>

namespace {

constexpr int NamesTold = 5;

QString idText(quint16 id)
{
    return QStringLiteral("BB@%1@%2")
        .arg(id >> 8, 2, 16, QLatin1Char('0'))
        .arg(id & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

AcknowledgementMatcher::AcknowledgementMatcher(LogManager *logger)
    : m_logger(logger)
{
}

bool AcknowledgementMatcher::hasAcknowledgement(quint16 id)
{
    auto known = m_acknowledged.constFind(id);
    if (known == m_acknowledged.constEnd())
        known = m_acknowledged.insert(id, CCfgFileParse::instance()->m_uplinkIdToNameMap.contains(idText(id)));
    return *known;
}

QString AcknowledgementMatcher::nameOf(quint16 id)
{
    const QString name = CCfgFileParse::instance()->m_uplinkIdToNameMap.value(idText(id));
    return name.isEmpty() ? idText(id) : name;
}

void AcknowledgementMatcher::queued(quint64 number, const QByteArray &frame, quint64 lastLeft)
{
    const UplinkHeader header(frame);
    if (!header.hasType(UplinkHeader::CommandType) || !hasAcknowledgement(header.commandId()))
        return;
    m_entries.push_back(Entry{header.commandId(), number, false, {}, {}});
    // A dongle that answers nothing must not make the list grow for ever.
    int forgotten = 0;
    while (int(m_entries.size()) > MaxWaiting && m_entries.front().number <= lastLeft) {
        m_entries.pop_front();
        ++forgotten;
    }
    if (forgotten > 0 && !m_overflowTold) {
        m_overflowTold = true;
        log(QStringLiteral("The dongle has left more than %1 commands unanswered; the oldest are no longer waited for.")
                .arg(MaxWaiting),
            LogLevel::Warn);
    }
}

bool AcknowledgementMatcher::take(const QByteArray &acknowledgement, quint64 lastLeft)
{
    const UplinkHeader header(acknowledgement);
    if (!header.hasType(UplinkHeader::AcknowledgementType))
        return false;
    const quint16 id = header.commandId();
    std::size_t index = 0;
    // Only a command that has left can have been answered.
    while (index < m_entries.size() && m_entries[index].number <= lastLeft && m_entries[index].id != id)
        ++index;
    if (index == m_entries.size() || m_entries[index].number > lastLeft)
        return handToListener(id, acknowledgement);
    m_overflowTold = false;

    std::deque<Entry> skipped;
    for (std::size_t i = 0; i < index; ++i) {
        skipped.push_back(std::move(m_entries.front()));
        m_entries.pop_front();
    }
    Entry answered = std::move(m_entries.front());
    m_entries.pop_front();
    if (!skipped.empty())
        logSkipped(skipped, id);

    // Handlers may run a modal box, in which more acknowledgements come and
    // the link may go: nothing of this object is touched after the first call.
    for (const Entry &entry : skipped) {
        if (entry.claimed && entry.context && entry.handler)
            entry.handler(QByteArray());
    }
    if (!answered.claimed)
        return false;
    ++m_handed;
    if (answered.context && answered.handler)
        answered.handler(acknowledgement);
    return true;
}

void AcknowledgementMatcher::forgetAll()
{
    m_entries.clear();
    m_overflowTold = false;
}

AcknowledgementMatcher::Entry *AcknowledgementMatcher::newestUnclaimed(quint16 id)
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->id == id)
            return it->claimed ? nullptr : &*it;
    }
    return nullptr;
}

bool AcknowledgementMatcher::claimNewest(quint16 commandId, QObject *context, Handler handler)
{
    Entry *entry = newestUnclaimed(commandId);
    if (!entry)
        return false;
    entry->claimed = true;
    entry->context = context;
    entry->handler = std::move(handler);
    return true;
}

bool AcknowledgementMatcher::releaseNewest(quint16 commandId)
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->id != commandId)
            continue;
        if (it->claimed)
            return false;
        m_entries.erase(std::next(it).base());
        return true;
    }
    return false;
}

void AcknowledgementMatcher::listen(quint16 commandId, QObject *context, Handler handler)
{
    m_listeners.insert(commandId, Listener{context, std::move(handler)});
}

bool AcknowledgementMatcher::handToListener(quint16 id, const QByteArray &acknowledgement)
{
    const auto it = m_listeners.constFind(id);
    if (it == m_listeners.constEnd() || !it->context) {
        if (it != m_listeners.constEnd())
            m_listeners.erase(it);
        return false;
    }
    // A copy: the handler may run a modal box in which the listener changes.
    const Listener listener = *it;
    ++m_handed;
    listener.handler(acknowledgement);
    return true;
}

void AcknowledgementMatcher::logSkipped(const std::deque<Entry> &skipped, quint16 answered) const
{
    QStringList names;
    for (const Entry &entry : skipped) {
        const QString name = nameOf(entry.id);
        if (!names.contains(name) && names.size() < NamesTold)
            names << name;
    }
    if (skipped.size() == 1) {
        log(QStringLiteral("No acknowledgement came for %1: the dongle answered %2, sent after it.")
                .arg(names.first(), nameOf(answered)),
            LogLevel::Warn);
        return;
    }
    log(QStringLiteral("No acknowledgement came for %1 commands (%2): the dongle answered %3, sent after them.")
            .arg(skipped.size())
            .arg(names.join(QStringLiteral(", ")), nameOf(answered)),
        LogLevel::Warn);
}

void AcknowledgementMatcher::log(const QString &text, int level) const
{
    if (m_logger)
        m_logger->log(text, level);
}
