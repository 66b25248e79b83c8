#include "textbrowserlogger.h"

#include <QTextBrowser>

TextBrowserLogger::TextBrowserLogger(const QString &name, QTextBrowser *browser)
    : Logger(name, LogLevel::Info, TypeTextBrowser)
    , m_browser(browser)
{
    if (browser != nullptr) {
        connect(this, &TextBrowserLogger::sig_append, browser, &QTextBrowser::append, Qt::QueuedConnection);
        connect(this, &TextBrowserLogger::sig_clear, browser, &QTextBrowser::clear, Qt::QueuedConnection);
    }
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

void TextBrowserLogger::log(const QString &text, int level)
{
    if (text.isEmpty())
        return;
    emit sig_append(formatLine(text, level));
}

void TextBrowserLogger::clear()
{
    emit sig_clear();
}
