#pragma once

#include "bisparameter.h"
#include "cflatdialog.h"

class LogManager;

namespace Ui {
class bisParameterDialog;
}

// "Configure BIS Parameter": the index of one BIS to receive.
class bisParameterDialog : public CFlatDialog
{
    Q_OBJECT

public:
    explicit bisParameterDialog(LogManager *logger, QWidget *parent = nullptr);
    ~bisParameterDialog() override;

    // Written and read by the page: true while a row is being edited.
    bool m_editMode = false;

    void setParameter(bisParameter record);

signals:
    void sig_bisParaUpdate(bisParameter record);

public slots:
    void on_pushButton_ok_clicked();

private:
    Ui::bisParameterDialog *ui;
    LogManager *m_logger = nullptr;
};
