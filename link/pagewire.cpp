#include "pagewire.h"

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cmsg.h"
#include "logger.h"
#include "logmanager.h"

PageWireForm &PageWireForm::status(const QString &field)
{
    m_status = field;
    return *this;
}

PageWireForm &PageWireForm::noStatus()
{
    m_status.clear();
    return *this;
}

PageWireForm &PageWireForm::index(const QString &field)
{
    m_index = field;
    return *this;
}

PageWireForm &PageWireForm::anyConnection()
{
    m_anyConnection = true;
    return *this;
}

PageWireForm &PageWireForm::quietFailure()
{
    m_logFailure = false;
    return *this;
}

PageWireForm &PageWireForm::statusNames(const char *enumName)
{
    m_statusNames = enumName;
    return *this;
}

PageWireForm &PageWireForm::completeResult()
{
    m_completeResult = true;
    return *this;
}

PageWireAnswer::PageWireAnswer(QObject *context, Handler handler)
    : m_context(context)
    , m_handler(std::move(handler))
{
}

PageWireAnswer PageWireAnswer::withSuccess()
{
    PageWireAnswer answer;
    answer.m_withSuccess = true;
    return answer;
}

PageWireAnswer &PageWireAnswer::paced()
{
    m_paced = true;
    return *this;
}

PageWire::PageWire(CMsg *link, LogManager *logger, const QString &sourceFile)
    : m_link(link)
    , m_logger(logger)
    , m_sourceFile(sourceFile)
    , m_ended(std::make_shared<bool>(false))
{
}

PageWire::PageWire(CMsg *link, LogManager *logger, const QString &sourceFile, quint8 condix)
    : PageWire(link, logger, sourceFile)
{
    m_condix = condix;
}

PageWire::PageWire(const PageWire &page, const QString &sourceFile)
    : m_link(page.m_link)
    , m_logger(page.m_logger)
    , m_sourceFile(sourceFile)
    , m_condix(page.m_condix)
    , m_dongleName(page.m_dongleName)
    , m_ended(page.m_ended)
{
}

bool PageWire::send(const QString &name, const Values &fields, const Values &overrides, const Answer &answer) const
{
    if (refuseEnded(name))
        return false;
    quint8 layer = 0;
    quint8 opcode = 0;
    if (m_logger && CCommand::sendMsg(m_link, m_logger, name, fields, overrides)) {
        if (CCommand::downlinkAddress(name, &layer, &opcode) == CCommand::AddressOk)
            expect(layer, opcode, answer);
        return true;
    }
    if (m_logger)
        CCommand::logSendFailed(m_logger, name);
    return false;
}

bool PageWire::sendFrame(const QString &name, quint8 layer, quint8 opcode, const QByteArray &payload,
                         const Answer &answer) const
{
    if (refuseEnded(name))
        return false;
    const QByteArray frame = CCommand::downlinkFrame(layer, opcode, payload);
    if (m_logger)
        CCommand::downlinkToLog(m_logger, name, frame);
    if (m_link && m_link->sendMsg(frame) == 0) {
        expect(layer, opcode, answer);
        return true;
    }
    if (m_logger)
        CCommand::logSendFailed(m_logger, name);
    return false;
}

bool PageWire::sendFrame(const QString &name, const QByteArray &payload, const Answer &answer) const
{
    quint8 layer = 0;
    quint8 opcode = 0;
    if (CCommand::downlinkAddress(name, &layer, &opcode) == CCommand::AddressOk)
        return sendFrame(name, layer, opcode, payload, answer);
    if (m_logger)
        CCommand::logSendFailed(m_logger, name);
    return false;
}

void PageWire::expect(quint8 layer, quint8 opcode, const Answer &answer) const
{
    if (!m_link)
        return;
    AcknowledgementMatcher &matcher = m_link->acknowledgements();
    const quint16 id = AcknowledgementMatcher::commandId(layer, opcode);
    QObject *context = m_link;
    AcknowledgementMatcher::Handler handler = answer.m_handler;
    if (handler) {
        context = answer.m_context;
    } else {
        // The link lives as long as its logger: the line is written even
        // after the page went.
        handler = [logger = m_logger, condix = m_condix, withSuccess = answer.m_withSuccess](const QByteArray &frame) {
            logAcknowledgement(logger, condix, withSuccess, frame);
        };
    }
    if (answer.m_paced) {
        matcher.releaseNewest(id);
        matcher.listen(id, context, std::move(handler));
    } else {
        matcher.claimNewest(id, context, std::move(handler));
    }
}

void PageWire::logAcknowledgement(LogManager *logger, std::optional<quint8> condix, bool withSuccess,
                                  const QByteArray &frame)
{
    // A lost one the link has told already.
    if (!logger || frame.isEmpty())
        return;
    if (withSuccess)
        CCommand::lastSDKProc(logger, frame);
    else
        CCommand::SDKProc(logger, frame);
    const std::optional<uchar> status = acknowledgement(frame);
    if (condix && status && *status != 0)
        logger->log(QStringLiteral("Connection %1: the dongle refused %2 (%3).")
                        .arg(*condix)
                        .arg(uplinkName(frame), statusText("SDK_STATUS_RSP", *status)),
                    LogLevel::Error);
}

void PageWire::hearUnanswered(QObject *context, quint8 layer, quint8 opcode, Answered heard) const
{
    if (m_link)
        m_link->acknowledgements().listen(AcknowledgementMatcher::commandId(layer, opcode), context, std::move(heard));
}

std::optional<uchar> PageWire::acknowledge(const QByteArray &frame, const QString &what, const Form &form) const
{
    return takeAcknowledgement(frame, what, form.m_completeResult ? CCommand::completeProc : CCommand::SDKProc);
}

std::optional<uchar> PageWire::acknowledgeLast(const QByteArray &frame, const QString &what, const Form &form) const
{
    return takeAcknowledgement(frame, what,
                               form.m_completeResult ? CCommand::lastCompleteProc : CCommand::lastSDKProc);
}

std::optional<uchar> PageWire::takeAcknowledgement(const QByteArray &frame, const QString &what,
                                                   void (*logStatus)(LogManager *, const QByteArray &)) const
{
    if (frame.isEmpty()) {
        const QString line = QStringLiteral("the acknowledgement of %1 was lost.").arg(what);
        log(isConnectionPage() ? QStringLiteral("Connection %1: ").arg(condix()) + line
                               : line.left(1).toUpper() + line.mid(1),
            LogLevel::Warn);
        return std::nullopt;
    }
    if (m_logger)
        logStatus(m_logger, frame);
    return acknowledgement(frame).value_or(0);
}

void PageWire::endConnection()
{
    *m_ended = true;
}

bool PageWire::connectionEnded() const
{
    return *m_ended;
}

bool PageWire::refuseEnded(const QString &name) const
{
    if (!*m_ended)
        return false;
    log(QStringLiteral("%1 not sent: connection %2 has ended.").arg(name).arg(condix()), LogLevel::Warn);
    return true;
}

PageWire::Result PageWire::check(const QByteArray &frame, int line, const QString &function, Fields *fields,
                                 const Form &form) const
{
    Fields local;
    Fields *parsed = fields ? fields : &local;
    if (!m_logger || CCommand::parseUpLinkCmd(m_logger, frame, *parsed) != 0)
        return Unparsed;
    if (m_condix && !form.m_anyConnection) {
        const std::optional<uchar> index = byteField(*parsed, form.m_index);
        if (!index) {
            CCommand::uplinkMsgToLog(m_logger, frame, *parsed);
            internalError(line, function);
            return Malformed;
        }
        if (*index != *m_condix)
            return NotOurs;
    }
    CCommand::uplinkMsgToLog(m_logger, frame, *parsed);
    if (form.m_status.isEmpty())
        return Succeeded;
    return checkStatus(frame, *parsed, form.m_status, line, function, form);
}

PageWire::Result PageWire::checkStatus(const QByteArray &frame, const Fields &fields, const QString &statusField,
                                       int line, const QString &function, const Form &form) const
{
    const Result result = statusOf(fields, line, function, statusField);
    if (result == Failed)
        logFailedStatus(frame, *byteField(fields, statusField), form);
    return result;
}

bool PageWire::parse(const QByteArray &frame, Fields *fields) const
{
    return m_logger && CCommand::parseUpLinkCmd(m_logger, frame, *fields) == 0;
}

void PageWire::logMessage(const QByteArray &frame, const Fields &fields) const
{
    if (m_logger)
        CCommand::uplinkMsgToLog(m_logger, frame, fields);
}

void PageWire::logFrame(const QByteArray &frame) const
{
    if (m_logger)
        CCommand::uplinkRawMsgToLog(m_logger, frame);
}

void PageWire::logFailedStatus(const QByteArray &frame, uchar status, const Form &form) const
{
    if (!m_logger || !form.m_logFailure)
        return;
    if (form.m_completeResult)
        CCommand::completeResultToLog(m_logger, uplinkName(frame), status, form.m_statusNames);
    else
        CCommand::statusRspToLog(m_logger, frame, status, form.m_statusNames);
}

PageWire::Result PageWire::checkList(const QByteArray &frame, GattListResult::Layout layout,
                                     QList<QByteArray> *records) const
{
    logFrame(frame);
    const GattListResult list = GattListResult::cut(payload(frame), layout);
    const bool ours = list.hasCondix && list.condix == condix();
    const auto formatError = [&] {
        log(QStringLiteral("Uplink Command Name:") + uplinkName(frame) + QStringLiteral(" Format error."),
            LogLevel::Error);
    };
    if (list.error == GattListResult::TooShort) {
        formatError();
        return ours ? Malformed : NotOurs;
    }
    if (!ours)
        return NotOurs;
    if (list.status != 0) {
        logFailedStatus(frame, list.status);
        return Failed;
    }
    if (list.error != GattListResult::NoError) {
        formatError();
        return Malformed;
    }
    if (records)
        *records = list.records;
    return Succeeded;
}

QString PageWire::statusText(const char *enumName, int status)
{
    const QString name = CCommand::enumText(enumName, status);
    if (!name.isEmpty())
        return name;
    return QStringLiteral("status 0x") + QString::number(status, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString PageWire::uplinkNameOfId(const QString &id)
{
    return CCfgFileParse::instance()->m_uplinkIdToNameMap.value(id);
}

QString PageWire::uplinkName(const QByteArray &frame)
{
    return CCfgFileParse::instance()->m_uplinkIdToNameMap.value(CCommand::getUpLinkId(frame));
}

void PageWire::log(const QString &text, int level) const
{
    if (m_logger)
        m_logger->log(text, level);
}

PageWire::Result PageWire::checkNamedStatus(const QString &uplinkName, const Fields &fields,
                                            const QString &statusField, int line, const QString &function,
                                            const Form &form) const
{
    // Without the frame the failure is logged here, by the name.
    const Result result = statusOf(fields, line, function, statusField);
    if (result == Failed && form.m_logFailure && m_logger) {
        const uchar status = *byteField(fields, statusField);
        if (form.m_completeResult)
            CCommand::completeResultToLog(m_logger, uplinkName, status, form.m_statusNames);
        else
            m_logger->log(QStringLiteral("Uplink Command Name:") + uplinkName + QStringLiteral(" Result:")
                              + CCommand::enumText(form.m_statusNames, status),
                          LogLevel::Error);
    }
    return result;
}

PageWire::Result PageWire::statusOf(const Fields &fields, int line, const QString &function,
                                    const QString &statusField) const
{
    const std::optional<uchar> status = byteField(fields, statusField);
    if (!status) {
        internalError(line, function);
        return Malformed;
    }
    return *status == 0 ? Succeeded : Failed;
}

std::optional<uchar> PageWire::byteField(const Fields &fields, const QString &name)
{
    const auto it = fields.constFind(name);
    if (it == fields.cend() || it->size() != 1)
        return std::nullopt;
    return uchar(it->at(0));
}

void PageWire::internalError(int line, const QString &function) const
{
    log(QStringLiteral("FILE:") + m_sourceFile + QStringLiteral(" LINE:") + QString::number(line)
            + QStringLiteral(" FUNCTION:") + function + QStringLiteral(" Internal error."),
        LogLevel::Debug);
}
