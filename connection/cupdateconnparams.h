#pragma once

#include "cflatdialog.h"
#include "pagewire.h"

#include <QMap>
#include <QString>
#include <QVariant>

class CMsg;
class LogManager;

namespace Ui {
class CUpdateConnParams;
}

// Shows the connection parameters a peer asked for and sends the reply.
// Every way of closing it answers exactly once: Accept with 1, anything
// else (Reject, the title bar's close, Escape) with 0.
class CUpdateConnParams : public CFlatDialog
{
    Q_OBJECT

public:
    CUpdateConnParams(CMsg *link, LogManager *logger, const QString &dongleName, QString condix,
                      const QString &peerAddress, const QMap<QString, QVariant> &values, QWidget *parent = nullptr);
    ~CUpdateConnParams() override;

    // Replies as a part of the GAP page's wire (its connection, its end).
    void setPageWire(const PageWire &page) { m_wire = PageWire(page, QStringLiteral(".\\cupdateconnparams")); }

signals:
    void receiveUpdateRequest();

public slots:
    void on_pushButtonAccept_clicked();
    void on_pushButtonReject_clicked();
    void on_closeClicked() override;
    void reject() override;

private:
    void buildRows();
    bool sendReply(bool accept);

    Ui::CUpdateConnParams *ui;
    QMap<QString, QVariant> m_values;
    QString m_peerAddress;
    QString m_condix;
    LogManager *m_logger;
    PageWire m_wire;
    bool m_answered = false;
};
