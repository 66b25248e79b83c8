#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

class LogManager;

// The status half of a page's check (PageWire parses, picks the connection
// and logs a failing status): the status field must be one byte, else the
// page's "Internal error." line.
// Names the page's source as its internal-error lines do.
class UplinkStatus
{
public:
    enum Result {
        Malformed,  // parsed, but the status field is not one byte; internal error logged
        Failed,     // status not 0
        Succeeded   // status 0
    };
    // sourceFile as the internal-error line shows it, e.g. ".\\cconnectionwidget".
    UplinkStatus(LogManager *logger, const QString &sourceFile);

    // The status field of parsed fields: success, failure or, when it is not
    // one byte, the page's internal-error line.
    Result checkField(const QMap<QString, QByteArray> &fields, int line, const QString &function,
                      const QString &statusField) const;
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
