#include "dummylogger.h"

DummyLogger::DummyLogger(const QString &name)
    : Logger(name, LogLevel::Error, TypeDummy)
{
}

void DummyLogger::log(const QString &, int)
{
}

void DummyLogger::clear()
{
}
