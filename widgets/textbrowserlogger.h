#pragma once

#include "logger.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QStringList>

class QTextBrowser;
class QTimer;

// Logger of a log pane: each line becomes one HTML paragraph in the browser.
//
// Lines gathered during one pass of the event loop reach the browser in one
// edit, so the document is laid out once per pass, not once per line. A pane
// shows at most MaxLinesPerSecond lines a second; the rest are counted and
// told in one summary line (the log file still gets every line).
//
// A logger made without a browser keeps the lines its pane would have shown,
// the newest PaneLines of them, until a browser is attached: a pane made
// when first shown then shows what came before.
class TextBrowserLogger : public Logger
{
    Q_OBJECT

public:
    static constexpr int MaxLinesPerSecond = 300;
    // The lines a log pane keeps.
    static constexpr int PaneLines = 2000;

    // fileName: the log file the summary line points to.
    TextBrowserLogger(const QString &name, QTextBrowser *browser,
                      const QString &fileName = QStringLiteral("UI_log.txt"));

    void log(const QString &text, int level) override;
    void clear() override;
    // For a logger made without a browser: shows the lines kept until now
    // and every later one in this browser.
    void attachBrowser(QTextBrowser *browser);

    // The HTML paragraph for a text at a level, the text shown as typed.
    static QString formatLine(const QString &text, int level);
    // The pane's line for lines it left out.
    static QString summaryLine(qint64 count, const QString &fileName);

private:
    void flush();
    void scheduleFlush();
    void appendToBrowser(const QStringList &paragraphs);

    QPointer<QTextBrowser> m_browser;
    // Until a browser is attached; a browser that goes later is not waited for.
    bool m_waitingForBrowser = false;
    QStringList m_kept;
    QString m_fileName;
    QTimer *m_summaryTimer;

    // log() may be called from any thread; the browser is fed on ours.
    QMutex m_mutex;
    QStringList m_pending;
    bool m_clearPending = false;
    bool m_flushPosted = false;
    // The rate limit: lines the pane may still show, refilled with time.
    QElapsedTimer m_window;
    double m_tokens = 0;
    qint64 m_leftOut = 0;
    QElapsedTimer m_lastSummary;
};
