#include "textbrowserlogger.h"

#include <QMutexLocker>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>

namespace {
constexpr qint64 SummaryIntervalMs = 1000;
}

TextBrowserLogger::TextBrowserLogger(const QString &name, QTextBrowser *browser, const QString &fileName)
    : Logger(name, LogLevel::Info, TypeTextBrowser)
    , m_browser(browser)
    , m_fileName(fileName)
    , m_summaryTimer(new QTimer(this))
{
    // The summary also comes when the flood stops and no line follows it.
    m_summaryTimer->setSingleShot(true);
    connect(m_summaryTimer, &QTimer::timeout, this, &TextBrowserLogger::flush);
    if (browser != nullptr)
        browser->document()->setUndoRedoEnabled(false);
    else
        m_waitingForBrowser = true;
}

void TextBrowserLogger::attachBrowser(QTextBrowser *browser)
{
    if (!m_waitingForBrowser || browser == nullptr)
        return;
    m_waitingForBrowser = false;
    m_browser = browser;
    browser->document()->setUndoRedoEnabled(false);
    appendToBrowser(m_kept);
    m_kept.clear();
}

QString TextBrowserLogger::formatLine(const QString &text, int level)
{
    // Escaped first: dongle text and user input must never be rendered as markup.
    QString shown = text.toHtmlEscaped();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    const QString time = timeStamp();
    switch (level) {
    case LogLevel::Error:
        return QStringLiteral("<img src=\":/icons/error\"/><span style=\"color:#ff0000;\"> ") + time
            + QStringLiteral(" - [ERROR] - ") + shown + QStringLiteral(" </span><br>");
    case LogLevel::Warn:
        return QStringLiteral("<img src=\":/icons/warning\"/><span style=\"color:#ff9900;\"> ") + time
            + QStringLiteral(" - [WARN] - ") + shown + QStringLiteral(" </span><br>");
    case LogLevel::Info:
        return QStringLiteral("<img src=\":/icons/info\"/><span style=\"color:#000000;\"> ") + time
            + QStringLiteral(" - [INFO] - ") + shown + QStringLiteral(" </span><br>");
    default:
        return QStringLiteral("<span>") + time + QStringLiteral(" - ") + shown + QStringLiteral("</span>");
    }
}

QString TextBrowserLogger::summaryLine(qint64 count, const QString &fileName)
{
    return QStringLiteral("\u2026 %1 more lines, see %2").arg(count).arg(fileName);
}

void TextBrowserLogger::log(const QString &text, int level)
{
    if (text.isEmpty())
        return;
    // Formatted now, so the pane shows the time the line was logged.
    const QString paragraph = formatLine(text, level);
    QMutexLocker locker(&m_mutex);
    m_pending.append(paragraph);
    scheduleFlush();
}

void TextBrowserLogger::clear()
{
    QMutexLocker locker(&m_mutex);
    m_pending.clear();
    m_clearPending = true;
    scheduleFlush();
}

// Called with m_mutex held.
void TextBrowserLogger::scheduleFlush()
{
    if (m_flushPosted)
        return;
    m_flushPosted = true;
    QMetaObject::invokeMethod(this, &TextBrowserLogger::flush, Qt::QueuedConnection);
}

void TextBrowserLogger::flush()
{
    QStringList lines;
    bool clearFirst = false;
    {
        QMutexLocker locker(&m_mutex);
        m_flushPosted = false;
        lines.swap(m_pending);
        clearFirst = m_clearPending;
        m_clearPending = false;
    }
    if (clearFirst && m_browser)
        m_browser->clear();
    if (clearFirst)
        m_kept.clear();

    // A bucket that fills at the rate: a flood gets a few lines every pass
    // rather than a whole second's worth in one go.
    if (!m_window.isValid()) {
        m_tokens = MaxLinesPerSecond;
        m_window.start();
    } else {
        m_tokens = qMin<double>(MaxLinesPerSecond, m_tokens + m_window.restart() * MaxLinesPerSecond / 1000.0);
    }
    const int taken = qMin(int(m_tokens), lines.size());
    m_tokens -= taken;
    QStringList shown = lines.mid(0, taken);
    m_leftOut += lines.size() - taken;
    if (m_leftOut > 0) {
        if (!m_lastSummary.isValid() || m_lastSummary.elapsed() >= SummaryIntervalMs) {
            shown.append(formatLine(summaryLine(m_leftOut, m_fileName), LogLevel::Warn));
            m_leftOut = 0;
            m_lastSummary.start();
        } else if (!m_summaryTimer->isActive()) {
            m_summaryTimer->start(int(SummaryIntervalMs - m_lastSummary.elapsed()));
        }
    }
    appendToBrowser(shown);
}

void TextBrowserLogger::appendToBrowser(const QStringList &paragraphs)
{
    if (m_waitingForBrowser) {
        m_kept += paragraphs;
        if (m_kept.size() > PaneLines)
            m_kept.erase(m_kept.begin(), m_kept.end() - PaneLines);
        return;
    }
    if (paragraphs.isEmpty() || !m_browser)
        return;
    QScrollBar *bar = m_browser->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    QTextDocument *document = m_browser->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    // One edit block: the document is laid out once and trimmed to its
    // block limit once, whatever the number of lines.
    cursor.beginEditBlock();
    for (const QString &paragraph : paragraphs) {
        if (!document->isEmpty())
            cursor.insertBlock();
        cursor.insertHtml(paragraph);
    }
    cursor.endEditBlock();
    if (atBottom)
        bar->setValue(bar->maximum());
}
