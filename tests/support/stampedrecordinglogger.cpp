#include "stampedrecordinglogger.h"

StampedRecordingLogger::StampedRecordingLogger()
    : Logger(QStringLiteral("recorder"), 0, TypeDummy)
{
    clock.start();
}

void StampedRecordingLogger::log(const QString &text, int level)
{
    lines.append({level, text});
    stamps.append(clock.elapsed());
}

void StampedRecordingLogger::clear()
{
    lines.clear();
    stamps.clear();
}

int StampedRecordingLogger::count(const QString &text, int level) const
{
    int n = 0;
    for (const auto &line : lines)
        n += line.second == text && (level < 0 || line.first == level) ? 1 : 0;
    return n;
}

qint64 StampedRecordingLogger::lastStamp(const QString &text) const
{
    for (int i = lines.size() - 1; i >= 0; --i) {
        if (lines.at(i).second == text)
            return stamps.at(i);
    }
    return -1;
}

int StampedRecordingLogger::countStartingWith(const QString &head) const
{
    int n = 0;
    for (const auto &line : lines)
        n += line.second.startsWith(head) ? 1 : 0;
    return n;
}
