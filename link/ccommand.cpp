#include "ccommand.h"
#include "uplinkheader.h"

#include "ccfgfileparse.h"
#include "cmsg.h"
#include "commandnames.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

#include <QHash>
#include <QMetaEnum>
#include <QVector>

#include <algorithm>

namespace {

constexpr int HeaderLength = 5;
constexpr int FirstPayloadIndex = 4;
constexpr int MaxPayloadLength = 0xFFFF;

const QString CrLf = QStringLiteral("\r\n");

QString hexPairs(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(':'));
}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

QString internalError(int line, const QString &function)
{
    return QStringLiteral("FILE:") + QStringLiteral(".\\ccommand") + QStringLiteral(" LINE:") + QString::number(line)
        + QStringLiteral(" FUNCTION:") + function + QStringLiteral(" Internal error.");
}

struct StatusProcedure
{
    const char *prefix;
    const char *function;
    const char *enumName;
    const char *head;
    bool logSuccess;
};

void statusProc(LogManager *logger, const QByteArray &frame, const StatusProcedure &procedure, int line)
{
    logger->log(QString::fromLatin1(procedure.prefix) + QString::fromLatin1(frame.toHex()), LogLevel::Debug);
    if (frame.size() != HeaderLength + 1) {
        logger->log(internalError(line, QString::fromLatin1(procedure.function)), LogLevel::Debug);
        return;
    }
    const int status = quint8(frame.at(HeaderLength));
    if (status == 0 && !procedure.logSuccess)
        return;
    const QString name = CCfgFileParse::instance()->m_uplinkIdToNameMap.value(CCommand::getUpLinkId(frame));
    logger->log(QString::fromLatin1(procedure.head) + name + QStringLiteral(" Result:")
                    + CCommand::enumText(procedure.enumName, status),
                status == 0 ? LogLevel::Info : LogLevel::Error);
}

} // namespace

CCommand::DownlinkAddress CCommand::downlinkAddress(const QString &name, quint8 *layer, quint8 *opcode)
{
    const QString id = CCfgFileParse::instance()->m_downlinkNameToIdMap.value(name);
    const QStringList parts = id.split(QLatin1Char('@'));
    bool ok = false;
    const uint layerValue = parts.value(0).toUInt(&ok, 16);
    if (id.isEmpty() || !ok || layerValue > 0xFF)
        return BadLayer;
    const uint opcodeValue = parts.size() > 1 ? parts.at(1).toUInt(&ok, 16) : 0;
    if (parts.size() < 2 || !ok || opcodeValue > 0xFF)
        return BadOpcode;
    *layer = quint8(layerValue);
    *opcode = quint8(opcodeValue);
    return AddressOk;
}

bool CCommand::sendMsg(CMsg *link, LogManager *logger, const QString &name, const QMap<QString, QVariant> &fieldsValue,
                       const QMap<QString, QVariant> &overrideValue)
{
    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    const QString id = catalogue->m_downlinkNameToIdMap.value(name);
    quint8 layer = 0;
    quint8 opcode = 0;
    switch (downlinkAddress(name, &layer, &opcode)) {
    case AddressOk:
        break;
    case BadLayer:
        logger->log(QStringLiteral("CCommand::sendMsg: convert layerId failed."), LogLevel::Debug);
        return false;
    case BadOpcode:
        logger->log(QStringLiteral("CCommand::sendMsg: convert opcode failed."), LogLevel::Debug);
        return false;
    }

    const QVector<CmdFieldInfo> fields = catalogue->m_downlinkIdToFieldsMap.value(id);
    QByteArray payload;
    // Each field must start at its catalogue position and, unless it runs to
    // the end, fill exactly its length; a text of the wrong size would shift
    // every later field.
    bool aligned = true;
    for (const CmdFieldInfo &field : fields) {
        const int start = payload.size();
        bool appended = false;
        if (overrideValue.contains(field.key)) {
            appended = appendFieldValue(logger, overrideValue, field, payload);
        } else if (fieldsValue.contains(field.key)) {
            appended = appendFieldValue(logger, fieldsValue, field, payload);
        } else {
            logger->log(QStringLiteral("Send msg:") + name + QStringLiteral(" assemble failed."), LogLevel::Error);
            return false;
        }
        if (!appended) {
            logger->log(QStringLiteral("Send msg:") + name + QStringLiteral(" assemble failed, can't append field value."),
                        LogLevel::Error);
            return false;
        }
        if (qint64(start) != qint64(field.index) - FirstPayloadIndex
            || (field.length != 0 && qint64(payload.size() - start) != qint64(field.length)))
            aligned = false;
    }

    const QByteArray frame = downlinkFrame(layer, opcode, payload);

    QString fieldData;
    int offset = 0;
    for (const CmdFieldInfo &field : fields) {
        const int length = int(field.length);
        fieldData += field.key + QStringLiteral("->") + hexPairs(payload.mid(offset, length)) + QStringLiteral("  ");
        offset += length;
    }
    downlinkToLog(logger, name, frame, fieldData);

    bool lengthOk = aligned && payload.size() <= MaxPayloadLength;
    if (!fields.isEmpty() && fields.last().length != 0)
        lengthOk = lengthOk && qint64(fields.last().index) + fields.last().length + 1 == frame.size();
    if (!lengthOk) {
        logger->log(QStringLiteral("Send msg:") + name + QStringLiteral(" assemble failed, the msg lenth is wrong"),
                    LogLevel::Error);
        return false;
    }

    if (link == nullptr)
        return false;
    return link->sendMsg(frame) == 0;
}

bool CCommand::appendFieldValue(LogManager *logger, const QMap<QString, QVariant> &fieldsValue,
                                const CmdFieldInfo &field, QByteArray &payload)
{
    if (!fieldsValue.contains(field.key)) {
        logger->log(QStringLiteral("CCommand::appendFieldValue: the fieldsValue does not contain the key."),
                    LogLevel::Debug);
        return false;
    }
    const QVariant value = fieldsValue.value(field.key);
    const int length = int(field.length);
    switch (value.userType()) {
    case QMetaType::Bool:
        payload.append(CUtil::valueToArray(0, value.toBool() ? 1 : 0, length));
        return true;
    case QMetaType::Int:
        payload.append(CUtil::valueToArray(0, quint64(qint64(value.toInt())), length));
        return true;
    case QMetaType::UInt:
        payload.append(CUtil::valueToArray(0, value.toUInt(), length));
        return true;
    case QMetaType::LongLong:
        payload.append(CUtil::valueToArray(0, quint64(value.toLongLong()), length));
        return true;
    case QMetaType::ULongLong:
        payload.append(CUtil::valueToArray(0, value.toULongLong(), length));
        return true;
    case QMetaType::QString: {
        const QString text = value.toString();
        if (!std::all_of(text.cbegin(), text.cend(), isHexDigit)) {
            logger->log(QStringLiteral("CCommand::appendFieldValue: convert QString to value failed."),
                        LogLevel::Debug);
            return false;
        }
        // Most significant digit first in the text, least significant byte first on the wire; an odd
        // count reads with a leading zero.
        payload.append(CUtil::hexBytes(text, CUtil::Reversed));
        return true;
    }
    case QMetaType::QByteArray:
        payload.append(length != 0 ? CUtil::fitArray(value.toByteArray(), length) : value.toByteArray());
        return true;
    default:
        logger->log(QStringLiteral("CCommand::appendFieldValue: the type of the QVariant is wrong."), LogLevel::Debug);
        return false;
    }
}

void CCommand::downlinkToLog(LogManager *logger, const QString &name, const QByteArray &frame,
                             const QString &fieldData)
{
    logger->log(QStringLiteral("Downlink Command Name: ") + name + CrLf + QStringLiteral("Raw Data: ")
                    + QString::fromLatin1(frame.toHex()) + CrLf + QStringLiteral("Field Data: ") + fieldData,
                name == QLatin1String(CMD_HEART_BEAT_DETECT) ? LogLevel::Debug : LogLevel::Info);
}

void CCommand::logSendFailed(LogManager *logger, const QString &name)
{
    logger->log((QStringLiteral("send ") + name + QStringLiteral(" message failed")).toLower(), LogLevel::Error);
}

bool CCommand::isInvalidUpLinkMsg(LogManager *logger, const QByteArray &frame)
{
    if (frame.size() < HeaderLength) {
        logger->log(QStringLiteral("uplink-msg: 0x%1").arg(QString::fromLatin1(frame.toHex())), LogLevel::Info);
        logger->log(QStringLiteral("the length of msg is too short"), LogLevel::Info);
        return false;
    }
    return UplinkHeader(frame).isWellFormed();
}

QString CCommand::getUpLinkId(const QByteArray &frame)
{
    if (frame.size() < 3)
        return QString();
    static const char digits[] = "0123456789ABCDEF";
    QString id(8, QLatin1Char('@'));
    QChar *text = id.data();
    for (int i = 0; i < 3; ++i) {
        const uchar byte = uchar(frame.at(i));
        text[3 * i] = QLatin1Char(digits[byte >> 4]);
        text[3 * i + 1] = QLatin1Char(digits[byte & 0x0F]);
    }
    return id;
}

int CCommand::parseUpLinkCmd(LogManager *logger, const QByteArray &frame, QMap<QString, QByteArray> &fields)
{
    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    const QString id = getUpLinkId(frame);
    const QString name = catalogue->m_uplinkIdToNameMap.value(id);
    const QVector<CmdFieldInfo> layout = catalogue->m_uplinkIdToFieldsMap.value(id);
    if (layout.isEmpty())
        return 0;
    if (qint64(frame.size()) < qint64(layout.last().index) + 1) {
        logger->log(QStringLiteral("Parse uplink Command:") + name + QStringLiteral(" failed,the msg length is wrong."),
                    LogLevel::Error);
        return -1;
    }
    for (const CmdFieldInfo &field : layout) {
        const qint64 start = qint64(field.index) + 1;
        if (field.length != 0) {
            if (start + field.length > frame.size()) {
                logger->log(QStringLiteral("Parse uplink Command:") + name
                                + QStringLiteral(" failed,the file up_link_command.xml is wrong."),
                            LogLevel::Error);
                return -1;
            }
            // Shared where it can be: a table keeps thousands of reports.
            fields[field.key] = CUtil::sharedBytes(frame.constData() + start, int(field.length));
        } else {
            fields[field.key] = start < frame.size() ? frame.mid(int(start)) : QByteArray();
        }
    }
    return 0;
}

void CCommand::uplinkMsgToLog(LogManager *logger, const QByteArray &frame, const QMap<QString, QByteArray> &fields)
{
    const QString name = CCfgFileParse::instance()->m_uplinkIdToNameMap.value(getUpLinkId(frame));
    // Written into one string sized beforehand: every uplink frame a page
    // takes logs this entry.
    int size = 48 + name.size() + frame.size() * 2;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        size += it.key().size() + it.value().size() * 3 + 4;
    QString entry;
    entry.reserve(size);
    entry += QLatin1String("Uplink Command Name: ");
    entry += name;
    entry += CrLf;
    entry += QLatin1String("Raw Data: ");
    CUtil::appendHex(entry, frame);
    entry += CrLf;
    entry += QLatin1String("Field Data: ");
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        entry += it.key();
        entry += QLatin1String("->");
        CUtil::appendHex(entry, it.value(), ':');
        entry += QLatin1String("  ");
    }
    logger->log(entry, LogLevel::Info);
}

void CCommand::uplinkRawMsgToLog(LogManager *logger, const QByteArray &frame)
{
    const QString name = CCfgFileParse::instance()->m_uplinkIdToNameMap.value(getUpLinkId(frame));
    logger->log(QStringLiteral("Uplink Command Name: ") + name + CrLf + QStringLiteral("Raw Data: ")
                    + QString::fromLatin1(frame.toHex()),
                LogLevel::Info);
}

void CCommand::SDKProc(LogManager *logger, const QByteArray &frame)
{
    statusProc(logger, frame,
               {"[SDKProc] ", "CCommand::SDKProc", "SDK_STATUS_RSP", "[SDK Result] Uplink Command Name:", false},
               __LINE__);
}

void CCommand::lastSDKProc(LogManager *logger, const QByteArray &frame)
{
    statusProc(logger, frame,
               {"[lastSDKProc] ", "CCommand::lastSDKProc", "SDK_STATUS_RSP", "[SDK Result] Uplink Command Name:", true},
               __LINE__);
}

void CCommand::completeProc(LogManager *logger, const QByteArray &frame)
{
    statusProc(logger, frame,
               {"[completeProc] ", "CCommand::completeProc", "STATUS_RSP", "[Complete Result] Uplink Command Name:",
                false},
               __LINE__);
}

void CCommand::lastCompleteProc(LogManager *logger, const QByteArray &frame)
{
    statusProc(logger, frame,
               {"[lastCompleteProc] ", "CCommand::lastCompleteProc", "STATUS_RSP",
                "[Complete Result] Uplink Command Name:", true},
               __LINE__);
}

void CCommand::statusRspToLog(LogManager *logger, const QByteArray &frame, int status, const char *statusNames)
{
    const QString name = CCfgFileParse::instance()->m_uplinkIdToNameMap.value(getUpLinkId(frame));
    logger->log(QStringLiteral("Uplink Command Name:") + name + QStringLiteral(" Result:")
                    + enumText(statusNames, status),
                LogLevel::Error);
}

void CCommand::completeResultToLog(LogManager *logger, const QString &uplinkName, int status,
                                   const char *statusNames)
{
    if (logger)
        logger->log(QStringLiteral("[Complete Result] Uplink Command Name:") + uplinkName + QStringLiteral(" Result:")
                        + enumText(statusNames, status),
                    LogLevel::Error);
}

QMap<QString, QString> CCommand::fieldsToDecimal(const QMap<QString, QByteArray> &fields)
{
    QMap<QString, QString> decimal;
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        quint64 value = 0;
        // Wider than 8 bytes cannot be a number; such a key reads as empty.
        if (CUtil::arrayToValue(0, it.value(), &value) == 0)
            decimal.insert(it.key(), QString::number(value));
        else
            decimal.insert(it.key(), QString());
    }
    return decimal;
}

QString CCommand::uuidBytesToString(const QByteArray &uuid)
{
    int end = uuid.size();
    while (end > 0 && uuid.at(end - 1) == 0)
        --end;
    QString digits = CUtil::hexText(uuid.left(end), CUtil::Reversed);
    if (digits.size() < 4)
        digits = QString(4 - digits.size(), QLatin1Char('0')) + digits;
    return QStringLiteral("0x") + digits;
}

QByteArray CCommand::downlinkFrame(quint8 layer, quint8 opcode, const QByteArray &payload)
{
    QByteArray frame;
    frame.reserve(5 + payload.size());
    frame.append(char(0xAA));
    frame.append(char(layer));
    frame.append(char(opcode));
    frame.append(char(payload.size() & 0xFF));
    frame.append(char((payload.size() >> 8) & 0xFF));
    frame.append(payload);
    return frame;
}

QByteArray CCommand::uuid16ToArray(int uuid16)
{
    return CUtil::valueToArray(0, quint64(quint16(uuid16)), 2) + QByteArray(14, '\0');
}

int CCommand::isUuid16(const QByteArray &uuid, int uuid16)
{
    return CUtil::cmpArray(uuid, uuid16ToArray(uuid16));
}

QString CCommand::enumText(const char *enumName, int value)
{
    // Called per attribute and per logged frame: each enum's texts are built
    // once, read-only afterwards, so any thread may look them up.
    static const QVector<QHash<int, QString>> texts = [] {
        const QMetaObject &meta = CCommand::staticMetaObject;
        QVector<QHash<int, QString>> all(meta.enumeratorCount());
        for (int e = 0; e < all.size(); ++e) {
            const QMetaEnum named = meta.enumerator(e);
            // The first key of a value wins, as QMetaEnum::valueToKey finds it.
            for (int i = named.keyCount() - 1; i >= 0; --i)
                all[e].insert(named.value(i), QString::fromLatin1(named.key(i)).replace(QLatin1Char('_'), QLatin1Char(' ')));
        }
        return all;
    }();
    const int index = CCommand::staticMetaObject.indexOfEnumerator(enumName);
    if (index < 0 || index >= texts.size())
        return QString();
    return texts.at(index).value(value);
}
