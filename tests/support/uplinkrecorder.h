#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QVector>

class CMsg;

// Records every frame a link hands out, with the name of the signal it came
// by, in the order the subscribers saw them.
class UplinkRecorder : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QString signal;   // "sig_rcvGapMsg", ...
        QByteArray frame;
    };

    explicit UplinkRecorder(CMsg *link, QObject *parent = nullptr);

    QVector<Entry> entries() const { return m_entries; }
    // "sig_rcvGapMsg bb0184010000" per entry.
    QStringList lines() const;
    QStringList signalsOf(const QByteArray &frame) const;
    int count() const { return m_entries.size(); }
    void clear() { m_entries.clear(); }
    bool waitFor(int count, int timeoutMs = 5000);

private:
    void record(const char *signal, const QByteArray &frame);

    QVector<Entry> m_entries;
};
