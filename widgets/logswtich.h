#pragma once

#include "cflatdialog.h"

class CMsg;
class LogManager;

namespace Ui {
class LogSwtich;
}

// Switches the dongle's own SDK and stack log output; the choice is sent when
// the dialog is closed from its title bar.
class LogSwtich : public CFlatDialog
{
    Q_OBJECT

public:
    LogSwtich(CMsg *msg, LogManager *logManager, QWidget *parent = nullptr);
    ~LogSwtich() override;

    Ui::LogSwtich *form() const { return ui; }

public slots:
    void on_closeClicked() override;

private:
    CMsg *m_msg;
    LogManager *m_logManager;
    Ui::LogSwtich *ui;
};
