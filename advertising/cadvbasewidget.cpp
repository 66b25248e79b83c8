#include "cadvbasewidget.h"

#include "advformtexts.h"
#include "cadvdatawidget.h"
#include "cflatmessage.h"
#include "cutil.h"
#include "cvalidatelineedit.h"
#include "logger.h"
#include "logmanager.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>

#include <functional>

CAdvBaseWidget::CAdvBaseWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent)
    : QWidget(parent)
    , m_msg(msg)
    , m_logger(logger)
    , m_settings(settings)
    , m_invalidData(CAdvDataWidget::invalidDataMarker())
    , m_wire(msg, logger, QStringLiteral(".\\cadvbasewidget"))
{
}

CAdvBaseWidget::~CAdvBaseWidget() = default;

void CAdvBaseWidget::arrangePanes(QSplitter *splitter, QScrollArea *scrollArea)
{
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 6);
    scrollArea->verticalScrollBar()->setStyleSheet(QStringLiteral("QScrollBar{width:10px}"));
}

void CAdvBaseWidget::setDuration(CValidateLineEdit *edit, int minMs, int maxMs, const QString &tip)
{
    const QString max = QString::number(maxMs);
    edit->setDoubleType(QString::number(minMs), max, QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("2"),
                        minMs == 0 ? QStringLiteral("0") : max);
    edit->setToolTip(tip);
}

void CAdvBaseWidget::setDurationForMode(CValidateLineEdit *edit, const QString &mode, const QString &generalTip)
{
    if (mode == AdvFormTexts::limitedDiscoverable())
        setDuration(edit, 10, 180000, AdvFormTexts::limitedDurationTip());
    else
        setDuration(edit, 0, 655350, generalTip);
}

void CAdvBaseWidget::initExtendedEdits(const ExtendedEdits &edits, const QString &primDefault,
                                       const QString &maxAdvEvtTip, const QString &secSidTip)
{
    for (CValidateLineEdit *edit : {edits.primMax, edits.primMin}) {
        edit->setDoubleType(QStringLiteral("20"), QStringLiteral("10485759.375"), QStringLiteral("0.625"),
                            QStringLiteral("3"), QStringLiteral("4"), primDefault);
        edit->setToolTip(QStringLiteral("unit: 625us, range: 20ms to 10,485.759375 s"));
    }
    edits.peerAddr->setAddrType(QStringLiteral("17"), AdvFormTexts::zeroAddress(), AdvFormTexts::addressPattern());
    setDuration(edits.duration, 0, 655350, QStringLiteral("unit: 10ms, range: 0ms to 655350ms"));
    edits.maxTxPower->setInt8Type(QStringLiteral("-127"), QStringLiteral("127"), QStringLiteral("1"),
                                  QStringLiteral("0"));
    edits.maxTxPower->setToolTip(AdvFormTexts::txPowerTip());
    edits.maxAdvEvt->setIntType(QStringLiteral("0"), QStringLiteral("255"), QStringLiteral("1"), QStringLiteral("0"));
    edits.maxAdvEvt->setToolTip(maxAdvEvtTip);
    edits.secMaxSkip->setIntType(QStringLiteral("0"), QStringLiteral("255"), QStringLiteral("1"), QStringLiteral("0"));
    edits.secMaxSkip->setToolTip(QStringLiteral("range: 0 to 255"));
    edits.secSid->setIntType(QStringLiteral("0"), QStringLiteral("15"), QStringLiteral("1"), QStringLiteral("0"));
    edits.secSid->setToolTip(secSidTip);
}

void CAdvBaseWidget::refuse(const QString &title, const QString &text)
{
    m_wire.log(title, LogLevel::Error);
    CFlatMessage::information(this, title, text);
}

bool CAdvBaseWidget::sendParameters(bool collected, const QString &command, const QString &emptyText,
                                    const PageWire::Answer &answer)
{
    if (!collected) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), emptyText);
        return false;
    }
    QMap<QString, QVariant> fields;
    for (auto it = m_paramMap.cbegin(); it != m_paramMap.cend(); ++it)
        fields.insert(it.key(), QVariant(it.value()));
    // Without the command no acknowledgement comes: the start ends here.
    return m_wire.send(command, fields, {}, answer);
}

bool CAdvBaseWidget::sendDataFrame(const CAdvDataWidget *editor, bool withPeriodic, const QString &command,
                                   quint8 opcode, const QByteArray &advIndex, int lengthBytes,
                                   const PageWire::Answer &answer)
{
    struct Block
    {
        std::function<QByteArray()> read;
        QString text;
        QString logLine;
    };
    QList<Block> kinds{
        {[editor] { return editor->getAdvData(); }, QStringLiteral("Advertising data is wrong."),
         QStringLiteral("Advertising data is wrong.")},
        {[editor] { return editor->getResData(); }, QStringLiteral("Advertising data response is wrong."),
         QStringLiteral("Advertising data response is wrong.")},
    };
    if (withPeriodic)
        kinds.append({[editor] { return editor->getPeriodicData(); }, QStringLiteral("Periodic data is wrong."),
                      QStringLiteral("Periodic data is wrong")});
    // A block longer than its length field can tell would go out with a wrapped length.
    const int longest = (1 << (8 * lengthBytes)) - 1;
    QByteArray payload = advIndex;
    for (const Block &kind : qAsConst(kinds)) {
        const QByteArray block = kind.read();
        if (block == m_invalidData || block.size() > longest) {
            m_wire.log(kind.logLine, LogLevel::Error);
            CFlatMessage::information(this, QStringLiteral("ERROR"), kind.text);
            return false;
        }
        payload += CUtil::valueToArray(0, quint64(block.size()), lengthBytes) + block;
    }
    // Without the frame no acknowledgement comes either.
    return m_wire.sendFrame(command, 0x01, opcode, payload, answer);
}

bool CAdvBaseWidget::acceptTyped(std::initializer_list<std::pair<const QLabel *, CValidateLineEdit *>> fields)
{
    for (const auto &field : fields) {
        if (!field.second->acceptTyped(field.first->text()))
            return false;
    }
    return true;
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
