#pragma once

#include "cflatdialog.h"

#include <QString>

#include <cstdint>

namespace Ui {
class csmdilog;
}

// The user's part in pairing: shows a number to compare or a passkey, or
// takes the passkey the peer shows. Answers once through cmsdialogPair:
// "OK" with a six-digit field gives (text, 1); "Cancel" gives (text, 0);
// the title bar's close and Escape give ("0", 0).
class csmdilog : public CFlatDialog
{
    Q_OBJECT

public:
    explicit csmdilog(QString title, QWidget *parent = nullptr);
    ~csmdilog() override;

    void setLabelText(const QString &text);
    void setNumberText(const QString &text);
    void setNumberEnabled(bool enabled);

signals:
    void cmsdialogPair(QString value, uint8_t flag);

public slots:
    void on_btn_Yes_clicked();
    void on_btn_No_clicked();
    void on_closeClicked() override;
    void reject() override;

private:
    void answer(const QString &value, uint8_t flag);

    Ui::csmdilog *ui;
    bool m_answered = false;
};
