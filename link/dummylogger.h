#pragma once

#include "logger.h"

// Stands in for a logger name that is not registered; writes nothing.
class DummyLogger : public Logger
{
    Q_OBJECT

public:
    explicit DummyLogger(const QString &name);

    void log(const QString &text, int level) override;
    void clear() override;
};
