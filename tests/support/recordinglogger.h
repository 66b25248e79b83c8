#pragma once

#include "logger.h"

#include <QPair>
#include <QStringList>
#include <QVector>

// Keeps every line a LogManager gives it, for tests to compare.
class RecordingLogger : public Logger
{
    Q_OBJECT

public:
    explicit RecordingLogger(const QString &name = QStringLiteral("recorder"), int threshold = 0);

    void log(const QString &text, int level) override;
    void clear() override { m_lines.clear(); }

    QVector<QPair<QString, int>> lines() const { return m_lines; }
    QStringList texts() const;
    // The texts that came after the last line equal to `marker`.
    QStringList textsAfter(const QString &marker) const;
    int count(const QString &text) const;

private:
    QVector<QPair<QString, int>> m_lines;
};
