#pragma once

#include "cflatdialog.h"

namespace Ui {
class CInputDialog;
}

// A free-standing flat dialog for one decimal number or hexadecimal byte
// string; the result arrives through sig_inputTextChanged.
class CInputDialog : public CFlatDialog
{
    Q_OBJECT

public:
    CInputDialog(quint8 base, const QString &text, QWidget *parent = nullptr);
    ~CInputDialog() override;

    Ui::CInputDialog *form() const;

signals:
    void sig_inputTextChanged(const QString &text);

public slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

private:
    Ui::CInputDialog *m_ui;
    quint8 m_base;
};
