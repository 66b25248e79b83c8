#include "standradoutlogger.h"

#include <QDebug>

StandradOutLogger::StandradOutLogger(const QString &name)
    : Logger(name, LogLevel::Warn, TypeStandardOut)
{
}

void StandradOutLogger::log(const QString &text, int)
{
    if (text.isEmpty())
        return;
    qDebug().noquote() << text;
}

void StandradOutLogger::clear()
{
}
