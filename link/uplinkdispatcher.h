#pragma once

#include "ccommand.h"
#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"
#include "uplinkheader.h"

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

    // A later row for the same ID replaces the earlier one. An ID that is not
    // three hexadecimal bytes joined by "@" can match no frame and is ignored.
    void add(const QString &id, Handler handler)
    {
        const int key = keyOf(id);
        if (key >= 0)
            m_routes.insert(key, handler);
    }
    void add(std::initializer_list<Route> routes)
    {
        for (const Route &route : routes)
            add(QString::fromLatin1(route.id), route.handler);
    }

    bool handles(const QString &id) const { return m_routes.contains(keyOf(id)); }
    QStringList ids() const
    {
        QStringList ids;
        for (auto it = m_routes.cbegin(); it != m_routes.cend(); ++it) {
            const char head[] = {char(it.key() >> 16), char(it.key() >> 8), char(it.key())};
            ids << CCommand::getUpLinkId(QByteArray(head, 3));
        }
        return ids;
    }
    int size() const { return m_routes.size(); }

    // True when the frame was well formed and its ID has a row.
    bool dispatch(const QByteArray &frame) const
    {
        if (!isWellFormed(m_logger, frame))
            return false;
        const Handler handler = m_routes.value(keyOf(frame), nullptr);
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
        const QHash<int, Handler> routes = m_routes;
        LogManager *const logger = m_logger;
        for (const QByteArray &frame : frames) {
            if (!alive)
                return;
            if (!isWellFormed(logger, frame))
                continue;
            const Handler handler = routes.value(keyOf(frame), nullptr);
            if (handler)
                (alive.data()->*handler)(frame);
        }
    }

    // The ID as a number: type, layer and opcode bytes; -1 when the text is no ID.
    static int keyOf(const QString &id)
    {
        if (id.size() != 8 || id.at(2) != QLatin1Char('@') || id.at(5) != QLatin1Char('@'))
            return -1;
        int key = 0;
        for (const int at : {0, 1, 3, 4, 6, 7}) {
            const char c = id.at(at).toLatin1();
            const int digit = c >= '0' && c <= '9' ? c - '0'
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                     : -1;
            if (digit < 0)
                return -1;
            key = (key << 4) | digit;
        }
        return key;
    }
    // The frame's ID as a number; the caller has checked that the header is there.
    static int keyOf(const QByteArray &frame)
    {
        return int(UplinkHeader(frame).idKey());
    }

    // The link's own check, plus a line for a frame whose length field
    // disagrees with its size, which the check rejects without a word.
    static bool isWellFormed(LogManager *logger, const QByteArray &frame)
    {
        if (CCommand::isInvalidUpLinkMsg(logger, frame))
            return true;
        if (logger && UplinkHeader(frame).isComplete())
            logger->log(QStringLiteral("uplink-msg: 0x%1 dropped: its length field does not match its size")
                            .arg(QString::fromLatin1(frame.toHex())),
                        LogLevel::Debug);
        return false;
    }

private:
    Owner *m_owner;
    LogManager *m_logger;
    // Keyed by number: every subscriber looks up every frame of its layer.
    QHash<int, Handler> m_routes;
};
