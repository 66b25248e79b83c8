#pragma once

#include "stampedrecordinglogger.h"

#include <QString>

class LogManager;

// A log manager that records every line, for tests of the link layer; the
// run's log folder goes with it.
class RecordedLog
{
public:
    explicit RecordedLog(const QString &dongleName);
    ~RecordedLog();
    RecordedLog(const RecordedLog &) = delete;
    RecordedLog &operator=(const RecordedLog &) = delete;

    LogManager *manager() const { return m_manager; }
    StampedRecordingLogger *recorder() const { return m_recorder; }

private:
    LogManager *m_manager;
    StampedRecordingLogger *m_recorder;
};
