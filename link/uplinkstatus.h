#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

class LogManager;

// The steps every uplink handler of a page repeats: parse the frame by the
// catalogue and log it, check that its status field is one byte (else the
// page's "Internal error." line), and log a status that is not success.
// One per page, naming the page's source as its internal-error lines do.
class UplinkStatus
{
public:
    enum Result {
        Unparsed,   // the catalogue rejected the frame; it logged why
        Malformed,  // parsed, but the status field is not one byte; internal error logged
        Failed,     // status not 0
        Succeeded   // status 0
    };
    // Whether a failing status is logged by check() ("Uplink Command Name:... Result:...").
    enum FailureLog { LogFailure, KeepFailureQuiet };

    // sourceFile as the internal-error line shows it, e.g. ".\\cconnectionwidget".
    UplinkStatus(LogManager *logger, const QString &sourceFile);

    // Parses the frame into fields and logs the message; false when the
    // catalogue rejected it.
    bool parse(const QByteArray &frame, QMap<QString, QByteArray> *fields) const;
    // The same for a caller without a page's UplinkStatus.
    static bool parse(LogManager *logger, const QByteArray &frame, QMap<QString, QByteArray> *fields);

    // parse(), then the status field named statusField.
    Result check(const QByteArray &frame, int line, const QString &function,
                 QMap<QString, QByteArray> *fields = nullptr, FailureLog failureLog = LogFailure,
                 const QString &statusField = QStringLiteral("status")) const;

    // The second half of check(), for pages that pick their own connection
    // from the parsed fields before anything is logged: logs the message,
    // then checks the status field.
    Result checkParsed(const QByteArray &frame, const QMap<QString, QByteArray> &fields, int line,
                       const QString &function, FailureLog failureLog = LogFailure,
                       const QString &statusField = QStringLiteral("status")) const;

    // Only the status check of checkParsed(): nothing of the message is logged.
    Result checkField(const QByteArray &frame, const QMap<QString, QByteArray> &fields, int line,
                      const QString &function, FailureLog failureLog, const QString &statusField) const;
    // "FILE:<source> LINE:<line> FUNCTION:<function> Internal error." at DEBUG.
    void internalError(int line, const QString &function) const;
    static QString internalErrorText(const QString &sourceFile, int line, const QString &function);

    // The status byte of an acknowledgement, a frame of exactly one payload
    // byte; nothing for any other size.
    static std::optional<uchar> acknowledgement(const QByteArray &frame);
    // The first payload byte of a frame of any payload length; nothing when
    // the payload is empty.
    static std::optional<uchar> firstPayloadByte(const QByteArray &frame);
    // The bytes after the header.
    static QByteArray payload(const QByteArray &frame);
    // The one-byte field of parsed fields; nothing when missing or not one byte.
    static std::optional<uchar> byteField(const QMap<QString, QByteArray> &fields, const QString &name);

    LogManager *logger() const { return m_logger; }

private:
    LogManager *m_logger;
    QString m_sourceFile;
};
