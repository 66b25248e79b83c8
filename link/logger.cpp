#include "logger.h"

#include <QDateTime>

#include <limits>

namespace {

// The C library reads the zone file again for every local time when TZ is
// unset, so the offset is looked up once a minute: zones change their offset
// only on whole minutes, and a new system zone shows within a minute.
struct ZoneOffset
{
    qint64 minute = std::numeric_limits<qint64>::min();
    qint64 offsetMs = 0;
};

qint64 localMsOf(qint64 utcMs)
{
    thread_local ZoneOffset cache;
    const qint64 minute = utcMs >= 0 ? utcMs / 60000 : (utcMs - 59999) / 60000;
    if (minute != cache.minute) {
        cache.minute = minute;
        cache.offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(minute * 60000).offsetFromUtc()) * 1000;
    }
    return utcMs + cache.offsetMs;
}

void twoDigits(char *out, int value)
{
    out[0] = char('0' + value / 10);
    out[1] = char('0' + value % 10);
}

} // namespace

Logger::Logger(const QString &name, int level, int type)
    : QObject(nullptr)
    , m_name(name)
    , m_level(level)
    , m_type(type)
{
}

Logger::~Logger() = default;

QString Logger::name() const
{
    return m_name;
}

int Logger::level() const
{
    return m_level;
}

int Logger::type() const
{
    return m_type;
}

bool Logger::operator==(const Logger &other) const
{
    return m_name == other.m_name;
}

bool Logger::operator!=(const Logger &other) const
{
    return m_name != other.m_name;
}

QString Logger::timeStamp()
{
    char text[12];
    writeTimeStamp(text);
    return QString::fromLatin1(text, 12);
}

void Logger::writeTimeStamp(char *out)
{
    writeTimeStamp(out, QDateTime::currentMSecsSinceEpoch());
}

void Logger::writeTimeStamp(char *out, qint64 utcMs)
{
    constexpr qint64 DayMs = 24 * 3600 * 1000;
    qint64 ofDay = localMsOf(utcMs) % DayMs;
    if (ofDay < 0)
        ofDay += DayMs;
    const int ms = int(ofDay % 1000);
    const int seconds = int(ofDay / 1000);
    twoDigits(out, seconds / 3600);
    out[2] = ':';
    twoDigits(out + 3, seconds / 60 % 60);
    out[5] = ':';
    twoDigits(out + 6, seconds % 60);
    out[8] = ':';
    out[9] = char('0' + ms / 100);
    twoDigits(out + 10, ms % 100);
}
