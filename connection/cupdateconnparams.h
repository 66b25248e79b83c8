#pragma once

#include "cflatdialog.h"

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
    CMsg *m_link;
    LogManager *m_logger;
    bool m_answered = false;
};
