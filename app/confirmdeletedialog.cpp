#include "confirmdeletedialog.h"
#include "ui_confirmdeletedialog.h"

confirmdeletedialog::confirmdeletedialog(QWidget *parent)
    : CFlatDialog(tr("confirm delete"), parent, 0, 0, false)
    , ui(new Ui::confirmdeletedialog)
{
    ui->setupUi(this);
    // The form's width fits the question only in some fonts.
    QLabel *question = ui->label;
    question->resize(qMax(question->width(), question->sizeHint().width()),
                     qMax(question->height(), question->sizeHint().height()));
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
