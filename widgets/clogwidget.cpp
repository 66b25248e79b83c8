#include "clogwidget.h"

#include <QDir>
#include <QFileInfo>

#include "cflatmessage.h"
#include "filechooser.h"
#include "logger.h"
#include "logmanager.h"
#include "logswtich.h"
#include "savefilewriter.h"
#include "textbrowserlogger.h"
#include "widgetresources.h"

CLogWidget::CLogWidget(CMsg *msg, LogManager *logManager, int logType, QWidget *parent)
    : QWidget(parent), m_logManager(logManager), m_msg(msg), m_logType(logType)
{
    initWidgetResources();
    setupUi(this);
    m_logBrowser->document()->setMaximumBlockCount(TextBrowserLogger::PaneLines);
    connect(m_tbClear, &QToolButton::clicked, this, &CLogWidget::onLogClear);
    connect(m_tbSave, &QToolButton::clicked, this, &CLogWidget::onLogSave);
}

CLogWidget::~CLogWidget() = default;

QTextBrowser *CLogWidget::getTextBrowser() const
{
    return m_logBrowser;
}

void CLogWidget::setTitle(const QString &title)
{
    m_label_title->setText(title);
}

void CLogWidget::onLogClear()
{
    m_logBrowser->clear();
}

void CLogWidget::onLogSave()
{
    const QString target =
        chooseSaveFileName(this, tr("save File..."), QStringLiteral(".log"), tr("Log file(*.log)"));
    if (target.isEmpty())
        return;
    if (!m_logManager)
        return;

    m_logManager->flushLogFiles();
    QString source = m_logManager->logDir();
    if (m_logType == 0)
        source += QStringLiteral("/UI_log.txt");
    else if (m_logType == 1)
        source += QStringLiteral("/dongle_log.txt");

    QString why;
    if (!copyFileToPath(source, target, &why)) {
        m_logManager->log(QStringLiteral("save fail!"), LogLevel::Debug);
        CFlatMessage::information(this, tr("error"),
                                  tr("The log could not be saved as %1: %2.\nA file that was there is left as it "
                                     "was. Choose another place, or make room on the disk, and save again.")
                                      .arg(QDir::toNativeSeparators(target), why));
    }
}

void CLogWidget::on_m_tbLevel_clicked()
{
    if (!m_logSwitch)
        m_logSwitch = new LogSwtich(m_msg, m_logManager, this);
    m_logSwitch->show();
    m_logSwitch->raise();
    m_logSwitch->activateWindow();
}

bool CLogWidget::copyFileToPath(QString sourcePath, QString targetPath, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    sourcePath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    targetPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (sourcePath == targetPath)
        return true;

    const QFileInfo sourceInfo(sourcePath);
    if (!sourceInfo.exists() || !sourceInfo.isFile())
        return fail(tr("the log file %1 is missing").arg(sourcePath));

    // The live log reached through a symlink, "..", or a relative spelling is
    // still the live log; the copy leaves it alone and keeps an old target
    // whole when it fails.
    return SaveFileWriter::copy(sourcePath, targetPath, error);
}
