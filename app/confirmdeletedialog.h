#pragma once

#include "cflatdialog.h"

namespace Ui {
class confirmdeletedialog;
}

// Asks whether a dongle tab is to be closed; the answer comes as a signal.
class confirmdeletedialog : public CFlatDialog
{
    Q_OBJECT
public:
    explicit confirmdeletedialog(QWidget *parent = nullptr);
    ~confirmdeletedialog() override;

signals:
    void confirmDelete();
    void cancelDelete();

public slots:
    void on_buttonYes_clicked();
    void on_buttonNo_clicked();

private:
    Ui::confirmdeletedialog *ui;
};
