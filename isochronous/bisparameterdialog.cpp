#include "bisparameterdialog.h"

#include "ui_bisparameterdialog.h"

bisParameterDialog::bisParameterDialog(LogManager *logger, QWidget *parent)
    : CFlatDialog(QStringLiteral("Configure BIS Parameter"), parent, 0, 0, false), ui(new Ui::bisParameterDialog),
      m_logger(logger)
{
    ui->setupUi(m_content);
    ui->lineEdit_bisID->setIntType(QStringLiteral("1"), QStringLiteral("31"), QStringLiteral("1"),
                                   QStringLiteral("1"));
    resize(306, 80);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &bisParameterDialog::on_pushButton_ok_clicked);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bisParameterDialog::~bisParameterDialog()
{
    delete ui;
}

void bisParameterDialog::setParameter(bisParameter record)
{
    ui->lineEdit_bisID->setText(record.bisId);
}

void bisParameterDialog::on_pushButton_ok_clicked()
{
    if (!ui->lineEdit_bisID->acceptTyped(ui->label->text()))
        return;
    bisParameter record;
    // The edit gives its number as hex digits.
    record.bisId = QString::number(ui->lineEdit_bisID->getValue().toUInt(nullptr, 16));
    emit sig_bisParaUpdate(record);
    accept();
}
