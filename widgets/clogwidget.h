#pragma once

#include <QWidget>

#include "ui_clogwidget.h"

class CMsg;
class LogManager;
class LogSwtich;
class QTextBrowser;

// One log pane of a dongle tab: title, clear/save/log-switch buttons and the
// browser a text-browser logger writes into.
class CLogWidget : public QWidget, public Ui::LogWidget
{
    Q_OBJECT

public:
    // logType 0: the tool log ("UI_log.txt"); 1: the dongle log ("dongle_log.txt").
    CLogWidget(CMsg *msg, LogManager *logManager, int logType, QWidget *parent = nullptr);
    ~CLogWidget() override;

    QTextBrowser *getTextBrowser() const;
    void setTitle(const QString &title);
    // Made when the level button is first clicked.
    LogSwtich *logSwitch() const { return m_logSwitch; }

    // Copies source to target so that a failed copy leaves the old target
    // intact, and never touches the source, also when the target is the
    // source under another spelling. On failure *error tells why.
    static bool copyFileToPath(QString sourcePath, QString targetPath, QString *error = nullptr);

public slots:
    void onLogClear();
    void onLogSave();
    void on_m_tbLevel_clicked();

private:
    LogSwtich *m_logSwitch = nullptr;
    LogManager *m_logManager;
    CMsg *m_msg;
    int m_logType;
};
