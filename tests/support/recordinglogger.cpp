#include "recordinglogger.h"

RecordingLogger::RecordingLogger(const QString &name, int threshold)
    : Logger(name, threshold, TypeDummy)
{
}

void RecordingLogger::log(const QString &text, int level)
{
    m_lines.append(qMakePair(text, level));
}

QStringList RecordingLogger::texts() const
{
    QStringList texts;
    for (const auto &line : m_lines)
        texts.append(line.first);
    return texts;
}

QStringList RecordingLogger::textsAfter(const QString &marker) const
{
    const QStringList all = texts();
    const int at = all.lastIndexOf(marker);
    return at < 0 ? all : QStringList(all.mid(at + 1));
}

int RecordingLogger::count(const QString &text) const
{
    return texts().count(text);
}
