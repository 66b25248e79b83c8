#include "cadvbasewidget.h"

#include "cadvdatawidget.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "cmsg.h"
#include "cutil.h"
#include "cvalidatelineedit.h"
#include "logger.h"
#include "logmanager.h"

#include <QCheckBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>

CAdvBaseWidget::CAdvBaseWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent)
    : QWidget(parent)
    , m_msg(msg)
    , m_logger(logger)
    , m_settings(settings)
    , m_invalidData(CAdvDataWidget::invalidDataMarker())
{
}

CAdvBaseWidget::~CAdvBaseWidget() = default;

void CAdvBaseWidget::arrangePanes(QSplitter *splitter, QScrollArea *scrollArea)
{
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 6);
    scrollArea->verticalScrollBar()->setStyleSheet(QStringLiteral("QScrollBar{width:10px}"));
}

void CAdvBaseWidget::refuse(const QString &title, const QString &text)
{
    CFlatMessage::information(this, title, text);
    if (m_logger)
        m_logger->log(title, LogLevel::Error);
}

bool CAdvBaseWidget::sendParameters(bool collected, const QString &command, const QString &emptyText)
{
    if (!collected) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), emptyText);
        return false;
    }
    QMap<QString, QVariant> fields;
    for (auto it = m_paramMap.cbegin(); it != m_paramMap.cend(); ++it)
        fields.insert(it.key(), QVariant(it.value()));
    if (!CCommand::sendMsg(m_msg, m_logger, command, fields, QMap<QString, QVariant>())) {
        CCommand::logSendFailed(m_logger, command);
        // No acknowledgement will come: the start ends here.
        return false;
    }
    return true;
}

bool CAdvBaseWidget::takeDataBlocks(const CAdvDataWidget *editor, bool withPeriodic, QList<QByteArray> *blocks)
{
    const QByteArray adv = editor->getAdvData();
    if (adv == m_invalidData) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), QStringLiteral("Advertising data is wrong."));
        m_logger->log(QStringLiteral("Advertising data is wrong."), LogLevel::Error);
        return false;
    }
    const QByteArray res = editor->getResData();
    if (res == m_invalidData) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), QStringLiteral("Advertising data response is wrong."));
        m_logger->log(QStringLiteral("Advertising data response is wrong."), LogLevel::Error);
        return false;
    }
    *blocks = {adv, res};
    if (withPeriodic) {
        const QByteArray periodic = editor->getPeriodicData();
        if (periodic == m_invalidData) {
            CFlatMessage::information(this, QStringLiteral("ERROR"), QStringLiteral("Periodic data is wrong."));
            m_logger->log(QStringLiteral("Periodic data is wrong"), LogLevel::Error);
            return false;
        }
        blocks->append(periodic);
    }
    return true;
}

void CAdvBaseWidget::sendDataFrame(const QString &command, quint8 opcode, const QByteArray &advIndex,
                                   const QList<QByteArray> &blocks, int lengthBytes)
{
    QByteArray payload = advIndex;
    for (const QByteArray &block : blocks)
        payload += CUtil::valueToArray(0, quint64(block.size()), lengthBytes) + block;
    QByteArray frame;
    frame.append(char(0xAA));
    frame.append(char(0x01));
    frame.append(char(opcode));
    frame += CUtil::valueToArray(0, quint64(payload.size()), 2);
    frame += payload;
    m_logger->log(QStringLiteral("Downlink Command Name: ") + command + QStringLiteral("\r\nRaw Data: ")
                      + QString::fromLatin1(frame.toHex()) + QStringLiteral("\r\nField Data: "),
                  LogLevel::Info);
    m_msg->sendMsg(frame);
}

quint64 CAdvBaseWidget::hexValue(CValidateLineEdit *edit)
{
    return edit->getValue().toULongLong(nullptr, 16);
}

bool CAdvBaseWidget::collectHex(CValidateLineEdit *edit, const QString &key, int length)
{
    const QString value = edit->getValue();
    if (value.isEmpty())
        return false;
    collectNumber(key, value.toULongLong(nullptr, 16), length);
    return true;
}

void CAdvBaseWidget::collectNumber(const QString &key, quint64 value, int length)
{
    m_paramMap.insert(key, CUtil::valueToArray(0, value, length));
}

quint64 CAdvBaseWidget::channelBits(const QCheckBox *ch37, const QCheckBox *ch38, const QCheckBox *ch39)
{
    return checkedBits({{ch37, 1}, {ch38, 2}, {ch39, 4}});
}

quint64 CAdvBaseWidget::checkedBits(std::initializer_list<std::pair<const QCheckBox *, quint64>> boxes)
{
    quint64 bits = 0;
    for (const auto &box : boxes)
        bits |= box.first->isChecked() ? box.second : 0;
    return bits;
}
