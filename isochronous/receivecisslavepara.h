#pragma once

#include "cflatdialog.h"
#include "pagewire.h"

#include <QByteArray>
#include <QMap>

class CMsg;
class LogManager;

namespace Ui {
class ReceiveCISSlavePara;
}

// A peer central asks this dongle for a CIS: shows the request and answers
// "Accept CIS Established" or "Reject CIS Established".
class ReceiveCISSlavePara : public CFlatDialog
{
    Q_OBJECT

public:
    ReceiveCISSlavePara(CMsg *link, LogManager *logger, const QMap<QString, QByteArray> &fields,
                        QWidget *parent = nullptr);
    ~ReceiveCISSlavePara() override;


public slots:
    void on_pushButton_accept_clicked();
    void on_pushButton_reject_clicked();

private:
    // False (logged) when the request carries no handle to answer.
    bool answer(const QString &name);

    Ui::ReceiveCISSlavePara *ui;
    QMap<QString, QByteArray> m_fields;
    PageWire m_wire;
};
