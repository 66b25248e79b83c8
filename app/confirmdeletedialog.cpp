#include "confirmdeletedialog.h"
#include "ui_confirmdeletedialog.h"

confirmdeletedialog::confirmdeletedialog(QWidget *parent)
    : CFlatDialog(tr("confirm delete"), parent, 0, 0, false)
    , ui(new Ui::confirmdeletedialog)
{
    ui->setupUi(this);
    // The form's places fit its texts only in some fonts; the style sheet's
    // font first, since it decides what the texts need.
    ensurePolished();
    for (QWidget *text : {static_cast<QWidget *>(ui->label), static_cast<QWidget *>(ui->buttonYes),
                          static_cast<QWidget *>(ui->buttonNo)})
        text->resize(text->size().expandedTo(text->sizeHint()));
}

confirmdeletedialog::~confirmdeletedialog()
{
    delete ui;
}

void confirmdeletedialog::on_buttonYes_clicked()
{
    emit confirmDelete();
    close();
}

void confirmdeletedialog::on_buttonNo_clicked()
{
    emit cancelDelete();
    close();
}
