#pragma once

#include "ccommand.h"
#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <type_traits>

// Routes a received frame to the member of its owner registered for the
// frame's uplink ID ("BB@01@05"). Every page fills one table of these and its
// onRcvMsg is one call to dispatch(); IDs without a row are ignored, because
// every page sees the frames of its whole layer.
template <typename Owner>
class UplinkDispatcher
{
public:
    using Handler = void (Owner::*)(const QByteArray &frame);
    struct Route
    {
        const char *id;
        Handler handler;
    };

    UplinkDispatcher(Owner *owner, LogManager *logger)
        : m_owner(owner)
        , m_logger(logger)
    {
    }
    UplinkDispatcher(Owner *owner, LogManager *logger, std::initializer_list<Route> routes)
        : UplinkDispatcher(owner, logger)
    {
        add(routes);
    }

    // A later row for the same ID replaces the earlier one.
    void add(const QString &id, Handler handler) { m_routes.insert(id.toUpper(), handler); }
    void add(std::initializer_list<Route> routes)
    {
        for (const Route &route : routes)
            add(QString::fromLatin1(route.id), route.handler);
    }

    bool handles(const QString &id) const { return m_routes.contains(id.toUpper()); }
    QStringList ids() const { return m_routes.keys(); }
    int size() const { return m_routes.size(); }

    // True when the frame was well formed and its ID has a row.
    bool dispatch(const QByteArray &frame) const
    {
        if (!isWellFormed(m_logger, frame))
            return false;
        const Handler handler = m_routes.value(CCommand::getUpLinkId(frame), nullptr);
        if (!handler)
            return false;
        (m_owner->*handler)(frame);
        return true;
    }

    // Frames in their order of arrival. A handler may run a modal dialog in
    // which its page is deleted; the rest of the batch is then dropped.
    template <typename Frames>
    void dispatchAll(const Frames &frames) const
    {
        static_assert(std::is_base_of<QObject, Owner>::value, "the owner's lifetime is followed through QPointer");
        const QPointer<Owner> alive(m_owner);
        // Copies: this dispatcher is a member of the owner and goes with it.
        const QHash<QString, Handler> routes = m_routes;
        LogManager *const logger = m_logger;
        for (const QByteArray &frame : frames) {
            if (!alive)
                return;
            if (!isWellFormed(logger, frame))
                continue;
            const Handler handler = routes.value(CCommand::getUpLinkId(frame), nullptr);
            if (handler)
                (alive.data()->*handler)(frame);
        }
    }

    // The link's own check, plus a line for a frame whose length field
    // disagrees with its size, which the check rejects without a word.
    static bool isWellFormed(LogManager *logger, const QByteArray &frame)
    {
        if (CCommand::isInvalidUpLinkMsg(logger, frame))
            return true;
        if (logger && frame.size() >= CMsg::HEADER_LENTH)
            logger->log(QStringLiteral("uplink-msg: 0x%1 dropped: its length field does not match its size")
                            .arg(QString::fromLatin1(frame.toHex())),
                        LogLevel::Debug);
        return false;
    }

private:
    Owner *m_owner;
    LogManager *m_logger;
    QHash<QString, Handler> m_routes;
};
