#pragma once

#include "logger.h"

#include <QString>
#include <QStringList>

// Appends every line it is given, at or above its threshold, to a list the
// test owns, as "<level><separator><text>".
class CaptureLogger : public Logger
{
    Q_OBJECT

public:
    CaptureLogger(QStringList *lines, int threshold, const QString &separator);

    void log(const QString &text, int level) override;
    void clear() override {}

private:
    QStringList *m_lines;
    QString m_separator;
};
