#pragma once

#include "cflatdialog.h"

namespace Ui {
class CAboutDialog;
}

// The program's About box.
class CAboutDialog : public CFlatDialog
{
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget *parent = nullptr);
    ~CAboutDialog() override;

private:
    Ui::CAboutDialog *ui;
};
