#include "logswtich.h"

#include <QMap>
#include <QVariant>

#include "ccommand.h"
#include "commandnames.h"
#include "ui_logswtich.h"

LogSwtich::LogSwtich(CMsg *msg, LogManager *logManager, QWidget *parent)
    : CFlatDialog(QStringLiteral("log switch"), parent, 0, 0, false),
      m_msg(msg),
      m_logManager(logManager),
      ui(new Ui::LogSwtich)
{
    ui->setupUi(this);
    // The form sits on the dialog itself; keep it above the flat frame.
    ui->layoutWidget->raise();
}

LogSwtich::~LogSwtich()
{
    delete ui;
}

void LogSwtich::on_closeClicked()
{
    QMap<QString, QVariant> values;
    values.insert(QStringLiteral("sdk"), ui->sdkCheckBox->isChecked() ? 1 : 0);
    values.insert(QStringLiteral("stack"), ui->stackCheckBox->isChecked() ? 1 : 0);
    QMap<QString, QVariant> overrides;
    if (!m_logManager || !CCommand::sendMsg(m_msg, m_logManager, QString::fromLatin1(CMD_LOG_PRINTF_SET), values,
                                            overrides)) {
        if (m_logManager)
            CCommand::logSendFailed(m_logManager, QString::fromLatin1(CMD_LOG_PRINTF_SET));
    }
    reject();
}
