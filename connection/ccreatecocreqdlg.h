#pragma once

#include "cflatdialog.h"
#include "channelinfo.h"
#include "pagewire.h"

#include <QMap>
#include <QString>
#include <QTimer>

#include <functional>

class CMsg;
class LogManager;

namespace Ui {
class CCreateCOCReqDlg;
}

// Answers a peer's request for a credit-based channel: shows what the peer
// asked for, takes this side's settings and sends exactly one reply, the
// acceptance or the refusal. Reject, the close button, Escape and the time-out
// refuse. Modal, for one request; it deletes itself when it closes.
class CCreateCOCReqDlg : public CFlatDialog
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 29000;

    CCreateCOCReqDlg(CMsg *link, LogManager *logger, const QString &dongleName, QMap<QString, QString> &request,
                     QString condix, QWidget *parent = nullptr, int timeoutMs = DefaultTimeoutMs);
    ~CCreateCOCReqDlg() override;

    // Answers as a part of the L2CAP page's wire (its connection, its end).
    void setPageWire(const PageWire &page) { m_wire = PageWire(page, QStringLiteral(".\\ccreatecocreqdlg")); }
    // Tells which local CIDs the connection already uses; such a CID is not accepted.
    void setCidInUse(std::function<bool(const QString &key)> inUse) { m_cidInUse = std::move(inUse); }

    // The refusal frame (checksum not included) for the values on the form.
    QByteArray refusalFrame();
    // Sends the refusal of a request no dialog was shown for: the form's initial values.
    static void sendRefusal(const PageWire &wire, quint16 peerCid, quint8 condix);

signals:
    void receiveCOCRequest(QString localCid, ChannelInfo &channel, QMap<QString, QString> fields);

public slots:
    void on_pushButtonReject_clicked();
    void on_pushButtonAccept_clicked();
    void on_closeClicked() override;
    void on_timeOut();
    // Escape: the peer still gets its refusal.
    void reject() override;

private:
    quint16 editValue(class CValidateLineEdit *edit) const;
    void refuse();
    QByteArray refusalPayload();

    Ui::CCreateCOCReqDlg *ui;
    QString m_condix;
    PageWire m_wire;
    QTimer m_timer;
    bool m_answered = false;
    std::function<bool(const QString &key)> m_cidInUse;
};
