#include "uplinkstatus.h"

#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"

UplinkStatus::UplinkStatus(LogManager *logger, const QString &sourceFile)
    : m_logger(logger)
    , m_sourceFile(sourceFile)
{
}

UplinkStatus::Result UplinkStatus::checkField(const QMap<QString, QByteArray> &fields, int line,
                                              const QString &function, const QString &statusField) const
{
    const std::optional<uchar> status = byteField(fields, statusField);
    if (!status) {
        internalError(line, function);
        return Malformed;
    }
    return *status == 0 ? Succeeded : Failed;
}

void UplinkStatus::internalError(int line, const QString &function) const
{
    if (m_logger)
        m_logger->log(internalErrorText(m_sourceFile, line, function), LogLevel::Debug);
}

QString UplinkStatus::internalErrorText(const QString &sourceFile, int line, const QString &function)
{
    return QStringLiteral("FILE:") + sourceFile + QStringLiteral(" LINE:") + QString::number(line)
        + QStringLiteral(" FUNCTION:") + function + QStringLiteral(" Internal error.");
}

std::optional<uchar> UplinkStatus::acknowledgement(const QByteArray &frame)
{
    if (frame.size() != CMsg::HEADER_LENTH + 1)
        return std::nullopt;
    return uchar(frame.at(CMsg::HEADER_LENTH));
}

std::optional<uchar> UplinkStatus::firstPayloadByte(const QByteArray &frame)
{
    if (frame.size() <= CMsg::HEADER_LENTH)
        return std::nullopt;
    return uchar(frame.at(CMsg::HEADER_LENTH));
}

QByteArray UplinkStatus::payload(const QByteArray &frame)
{
    return frame.mid(CMsg::HEADER_LENTH);
}

std::optional<uchar> UplinkStatus::byteField(const QMap<QString, QByteArray> &fields, const QString &name)
{
    const auto it = fields.constFind(name);
    if (it == fields.cend() || it->size() != 1)
        return std::nullopt;
    return uchar(it->at(0));
}
