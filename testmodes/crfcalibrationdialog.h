#pragma once

#include "cflatdialog.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <QByteArray>

class CMsg;
class LogManager;

namespace Ui {
class RfCalibrationDialog;
}

// Sets the dongle's crystal (XO) offset: one 16-bit value typed in
// hexadecimal. Kept for the life of its dongle tab, it logs every status
// answer of the command, also while it is closed.
class CRfCalibrationDialog : public CFlatDialog
{
    Q_OBJECT

public:
    CRfCalibrationDialog(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~CRfCalibrationDialog() override;

public slots:
    void on_PB_Calibration_clicked();
    void onRcvMsg(QByteArray frame);

private:
    void statusProc(const QByteArray &frame);

    Ui::RfCalibrationDialog *ui;
    CMsg *m_link;
    LogManager *m_logger;
    UplinkDispatcher<CRfCalibrationDialog> m_handlers;
    PageWire m_wire;
};
