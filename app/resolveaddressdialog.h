#pragma once

#include "cflatdialog.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QString>

class CMsg;
class LogManager;

namespace Ui {
class ResolveAddressDialog;
}

// Asks the dongle's controller for the resolvable private addresses that
// belong to a peer identity: the local one used towards the peer, and the
// peer's own.
class ResolveAddressDialog : public CFlatDialog
{
    Q_OBJECT

public:
    ResolveAddressDialog(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~ResolveAddressDialog() override;

public slots:
    void on_buttonLocal_clicked();
    void on_buttonPeer_clicked();
    void onRcvMsg(QByteArray frame);

private:
    void requestAddress(int operation);
    void getRPAAdress(const QByteArray &frame);

    Ui::ResolveAddressDialog *ui;
    CMsg *m_link;
    LogManager *m_logger;
    UplinkDispatcher<ResolveAddressDialog> m_handlers;
    PageWire m_wire;
};
