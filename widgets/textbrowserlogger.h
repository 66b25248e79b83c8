#pragma once

#include "logger.h"

#include <QPointer>

class QTextBrowser;

// Logger of a log pane: each line becomes one HTML paragraph in the browser.
class TextBrowserLogger : public Logger
{
    Q_OBJECT

public:
    TextBrowserLogger(const QString &name, QTextBrowser *browser);

    void log(const QString &text, int level) override;
    void clear() override;

    // The HTML paragraph for a text at a level, the text shown as typed.
    static QString formatLine(const QString &text, int level);

signals:
    void sig_append(QString msg);
    void sig_clear();

private:
    QPointer<QTextBrowser> m_browser;
};
