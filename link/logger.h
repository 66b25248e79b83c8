#pragma once

#include <QObject>
#include <QString>

// Levels passed with every line; a logger writes a line at or above its threshold.
namespace LogLevel {
constexpr int Dongle = 0;
constexpr int Debug = 1;
constexpr int Info = 2;
constexpr int Warn = 3;
constexpr int Error = 4;
} // namespace LogLevel

class Logger : public QObject
{
    Q_OBJECT

public:
    // Type numbers of the logger family.
    enum { TypeDummy = 0, TypeStandardOut = 1, TypeTextBrowser = 2, TypeFile = 3 };

    Logger(const QString &name, int level, int type);
    ~Logger() override;

    virtual void log(const QString &text, int level) = 0;
    virtual void clear() = 0;
    virtual QString name() const;
    virtual int level() const;
    virtual int type() const;
    virtual bool operator==(const Logger &other) const;
    virtual bool operator!=(const Logger &other) const;

    // "hh:mm:ss:zzz" of now, the time stamp of file and pane lines.
    static QString timeStamp();
    // The same twelve characters written to out, for lines built as bytes.
    static void writeTimeStamp(char *out);
    // The local time of a moment given in milliseconds since the epoch, UTC.
    static void writeTimeStamp(char *out, qint64 utcMs);

protected:
    QString m_name;
    int m_level;
    int m_type;
};
