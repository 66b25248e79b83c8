#pragma once

#include "acknowledgementmatcher.h"
#include "gattlistresult.h"
#include "uplinkheader.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class CMsg;
class LogManager;

// What check() expects of a frame.
class PageWireForm
{
public:
    PageWireForm() = default;
    // The status field; "status" unless set.
    PageWireForm &status(const QString &field);
    // The frame has no status: check() succeeds once it is parsed and ours.
    PageWireForm &noStatus();
    // The field holding the connection index; "condix" unless set. Only a
    // connection page's wire looks at it.
    PageWireForm &index(const QString &field);
    // The frame carries no connection index (it names no connection).
    PageWireForm &anyConnection();
    // A failing status is the caller's to tell.
    PageWireForm &quietFailure();
    // The enumeration of CCommand that names a failing status in its line;
    // STATUS_RSP unless set (a pairing result has codes of its own).
    PageWireForm &statusNames(const char *enumName);
    // A failing status is logged as "[Complete Result] Uplink Command Name:..."
    // (results of a page's own command) instead of the status line.
    PageWireForm &completeResult();

private:
    friend class PageWire;
    QString m_status = QStringLiteral("status");
    QString m_index = QStringLiteral("condix");
    bool m_anyConnection = false;
    bool m_logFailure = true;
    bool m_completeResult = false;
    const char *m_statusNames = "STATUS_RSP";
};

// Where the acknowledgement of a command a page sends goes. Unless the page
// asks for it, its wire logs it: a failing status, and for a page of one
// connection a line that names the connection. No other page hears of it.
class PageWireAnswer
{
public:
    using Handler = AcknowledgementMatcher::Handler;

    PageWireAnswer() = default;
    // Handed to `handler` alone, or an empty frame when it was lost (the
    // dongle answered a command sent after it), as long as `context` lives.
    PageWireAnswer(QObject *context, Handler handler);
    // Logged with its success too: the command's result is its acknowledgement.
    static PageWireAnswer withSuccess();
    // The command is answered at its own pace (one acknowledgement per test
    // packet), not in its turn among the others: every acknowledgement of its
    // ID that answers no waiting command is this answer's.
    PageWireAnswer &paced();

private:
    friend class PageWire;
    QPointer<QObject> m_context;
    Handler m_handler;
    bool m_withSuccess = false;
    bool m_paced = false;
};

// A page's side of the wire: sending a command and reading its answer, in one
// form for every page. Built from what the page already holds: the link, its
// logger, the source its internal-error lines name and, for a page of one
// connection, the connection index.
class PageWire
{
public:
    using Fields = QMap<QString, QByteArray>;
    using Values = QMap<QString, QVariant>;

    using Form = PageWireForm;
    using Answer = PageWireAnswer;

    enum Result {
        Unparsed,   // the catalogue rejected the frame; it logged why
        NotOurs,    // another connection's frame; nothing logged
        Malformed,  // a status or index field is not one byte; internal error logged
        Failed,     // status not 0
        Succeeded   // status 0, or parsed and ours when the form has no status
    };

    // A page of the whole dongle.
    PageWire(CMsg *link, LogManager *logger, const QString &sourceFile);
    // A page of one connection: frames of other connections are not its own.
    PageWire(CMsg *link, LogManager *logger, const QString &sourceFile, quint8 condix);
    // A part of the same page (a sub-page, a dialog): same link, logger,
    // connection and ended state, its own source for internal errors.
    PageWire(const PageWire &page, const QString &sourceFile);

    // --- downlink ---
    // The catalogue's command `name`; overrides win over fields. A command the
    // catalogue cannot assemble or the link refuses is logged as
    // "send <name> message failed". False when nothing left. Its
    // acknowledgement goes where `answer` says.
    bool send(const QString &name, const Values &fields = Values(), const Values &overrides = Values(),
              const Answer &answer = Answer()) const;
    // A frame built by hand: the header over `payload`, logged in the
    // downlink form under `name`.
    bool sendFrame(const QString &name, quint8 layer, quint8 opcode, const QByteArray &payload,
                   const Answer &answer = Answer()) const;
    // The same for a command the catalogue names without its fields: the
    // header from its ID.
    bool sendFrame(const QString &name, const QByteArray &payload, const Answer &answer = Answer()) const;

    // --- acknowledgements ---
    // The acknowledgement of one request, or an empty frame when the dongle
    // answered a command sent after it first (its answer was lost).
    using Answered = AcknowledgementMatcher::Handler;
    // Acknowledgements of the command `layer`/`opcode` that answer no command
    // waiting for one go to `heard`, as long as `context` lives.
    void hearUnanswered(QObject *context, quint8 layer, quint8 opcode, Answered heard) const;
    // Logs the acknowledgement handed to a request for `what` and gives its
    // status (a frame that is not one status byte reads as 0); when it was
    // lost, logs that instead and gives nothing. A failing status is logged
    // as an SDK result, or as a complete result when the form says so.
    std::optional<uchar> acknowledge(const QByteArray &frame, const QString &what, const Form &form = Form()) const;
    // The same, logging a success too.
    std::optional<uchar> acknowledgeLast(const QByteArray &frame, const QString &what,
                                         const Form &form = Form()) const;

    // The connection has ended: nothing more is sent for it, and an attempt is
    // logged. Shared with every part made from this wire.
    void endConnection();
    bool connectionEnded() const;

    // --- uplink ---
    // Parses the frame, tells whether it is this page's, logs it, then checks
    // the status. Another connection's frame is neither logged nor checked.
    Result check(const QByteArray &frame, int line, const QString &function, Fields *fields = nullptr,
                 const Form &form = Form()) const;
    // check() on a frame parsed already (the second status of a frame, or a
    // page that looked at the fields first); logs nothing but the status.
    Result checkStatus(const QByteArray &frame, const Fields &fields, const QString &statusField, int line,
                       const QString &function, const Form &form = Form()) const;
    // The steps of check() one by one, for a handler that must look at the
    // fields before it knows the frame is its own (or, as a received data
    // packet, is not logged at all): the catalogue parse alone, then the
    // message line, then a failing status in the form's line.
    bool parse(const QByteArray &frame, Fields *fields) const;
    void logMessage(const QByteArray &frame, const Fields &fields) const;
    // The message line without its fields, for a frame the page reads by hand.
    void logFrame(const QByteArray &frame) const;
    void logFailedStatus(const QByteArray &frame, uchar status, const Form &form = Form()) const;
    // A list result (GATT discoveries and reads), logged, its connection
    // checked, then its status and records. A list too short to name its
    // connection is told as a format error by every page and is NotOurs;
    // otherwise another connection's list is NotOurs, nothing logged. The
    // records are set on Succeeded only.
    Result checkList(const QByteArray &frame, GattListResult::Layout layout, QList<QByteArray> *records) const;
    // The catalogue name of the frame's ID; empty when unknown.
    static QString uplinkName(const QByteArray &frame);
    // The same by the ID's text ("BB@01@25").
    static QString uplinkNameOfId(const QString &id);
    // A status by its name in the enumeration ("SDK ERR BUSY"), or "status 0x2A"
    // when it has none.
    static QString statusText(const char *enumName, int status);
    // The status byte of an acknowledgement: a frame of exactly one payload byte.
    static std::optional<uchar> acknowledgement(const QByteArray &frame) { return UplinkHeader(frame).acknowledgement(); }
    static QByteArray payload(const QByteArray &frame) { return UplinkHeader(frame).payload(); }
    // The first payload byte of a frame of any length (a status that leads
    // its payload); nothing when the payload is empty.
    static std::optional<uchar> firstPayloadByte(const QByteArray &frame)
    {
        return UplinkHeader(frame).firstPayloadByte();
    }
    // The one-byte field of parsed fields; nothing when missing or not one byte.
    static std::optional<uchar> byteField(const Fields &fields, const QString &name);

    // "FILE:<source> LINE:<line> FUNCTION:<function> Internal error." at DEBUG.
    void internalError(int line, const QString &function) const;
    void log(const QString &text, int level) const;

    // The dongle's name, read where the tab keeps it (it follows a rename).
    void setDongleName(const QString *name) { m_dongleName = name; }
    QString dongleName() const { return m_dongleName ? *m_dongleName : QString(); }

    bool isConnectionPage() const { return m_condix.has_value(); }
    quint8 condix() const { return m_condix.value_or(0); }

    // checkStatus() for a part handed the parsed fields and the uplink's name
    // instead of the frame (a panel whose page parsed the result for it).
    Result checkNamedStatus(const QString &uplinkName, const Fields &fields, const QString &statusField, int line,
                            const QString &function, const Form &form = Form()) const;

private:
    bool refuseEnded(const QString &name) const;
    // The one-byte status field of parsed fields: success, failure or, when
    // it is not one byte, the internal-error line and Malformed.
    Result statusOf(const Fields &fields, int line, const QString &function, const QString &statusField) const;
    // The queued command's acknowledgement goes where `answer` says.
    void expect(quint8 layer, quint8 opcode, const Answer &answer) const;
    std::optional<uchar> takeAcknowledgement(const QByteArray &frame, const QString &what,
                                             void (*logStatus)(LogManager *, const QByteArray &)) const;
    // Logs an acknowledgement no request took.
    static void logAcknowledgement(LogManager *logger, std::optional<quint8> condix, bool withSuccess,
                                   const QByteArray &frame);

    CMsg *m_link;
    LogManager *m_logger;
    // As the internal-error lines name it, e.g. ".\\cconnectionwidget".
    QString m_sourceFile;
    std::optional<quint8> m_condix;
    const QString *m_dongleName = nullptr;
    std::shared_ptr<bool> m_ended;
};
