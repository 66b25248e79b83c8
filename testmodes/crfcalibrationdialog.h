#pragma once

#include "cflatdialog.h"
#include "pagewire.h"

#include <QByteArray>

class CMsg;
class LogManager;

namespace Ui {
class RfCalibrationDialog;
}

// Sets the dongle's crystal (XO) offset: one 16-bit value typed in
// hexadecimal. The status answer of the command is logged, also when it
// comes after the dialog closed.
class CRfCalibrationDialog : public CFlatDialog
{
    Q_OBJECT

public:
    CRfCalibrationDialog(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~CRfCalibrationDialog() override;

public slots:
    void on_PB_Calibration_clicked();

private:
    Ui::RfCalibrationDialog *ui;
    CMsg *m_link;
    LogManager *m_logger;
    PageWire m_wire;
};
