#include "logger.h"

#include <QTime>

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
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz"));
}
