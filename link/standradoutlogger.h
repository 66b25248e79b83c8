#pragma once

#include "logger.h"

// Writes lines to the process's debug output, without time or tag.
class StandradOutLogger : public Logger
{
    Q_OBJECT

public:
    explicit StandradOutLogger(const QString &name);

    void log(const QString &text, int level) override;
    void clear() override;
};
