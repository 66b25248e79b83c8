#pragma once

#include "logger.h"

#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QString>

// Keeps every line with its level and the monotonic time it came at.
class StampedRecordingLogger : public Logger
{
    Q_OBJECT

public:
    StampedRecordingLogger();

    void log(const QString &text, int level) override;
    void clear() override;

    // Lines equal to text, at the given level or any level when it is negative.
    int count(const QString &text, int level = -1) const;
    // When a line was last logged (monotonic ms), -1 if never.
    qint64 lastStamp(const QString &text) const;
    int countStartingWith(const QString &head) const;

    QList<QPair<int, QString>> lines;
    QList<qint64> stamps;
    QElapsedTimer clock;
};
