#include "capturelogger.h"

CaptureLogger::CaptureLogger(QStringList *lines, int threshold, const QString &separator)
    : Logger(QStringLiteral("capture"), threshold, TypeDummy)
    , m_lines(lines)
    , m_separator(separator)
{
}

void CaptureLogger::log(const QString &text, int level)
{
    m_lines->append(QString::number(level) + m_separator + text);
}
