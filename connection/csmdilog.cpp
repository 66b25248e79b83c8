#include "csmdilog.h"
#include "ui_csmdilog.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {
const char PasskeyHint[] = "please enter 6-bit passkey";
const int PasskeyLength = 6;
} // namespace

csmdilog::csmdilog(QString title, QWidget *parent)
    : CFlatDialog(title, parent, 0, 0, false)
    , ui(new Ui::csmdilog)
{
    ui->setupUi(m_content);
    m_content->resize(828, 405);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui->btn_Yes, &QPushButton::clicked, this, &csmdilog::on_btn_Yes_clicked);
    connect(ui->btn_No, &QPushButton::clicked, this, &csmdilog::on_btn_No_clicked);

    ui->lineEdit_number->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]+$")), ui->lineEdit_number));
    ui->lineEdit_number->setPlaceholderText(QString::fromLatin1(PasskeyHint));
    ui->lineEdit_number->setEnabled(false);
    ui->label->setTextFormat(Qt::PlainText);
    ui->labelAttention->setTextFormat(Qt::PlainText);
}

csmdilog::~csmdilog()
{
    delete ui;
}

void csmdilog::setLabelText(const QString &text)
{
    ui->label->setText(text);
}

void csmdilog::setNumberText(const QString &text)
{
    ui->lineEdit_number->setText(text);
}

void csmdilog::setNumberEnabled(bool enabled)
{
    ui->lineEdit_number->setEnabled(enabled);
}

void csmdilog::answer(const QString &value, uint8_t flag)
{
    if (m_answered)
        return;
    m_answered = true;
    emit cmsdialogPair(value, flag);
}

void csmdilog::on_btn_Yes_clicked()
{
    const QString text = ui->lineEdit_number->text();
    if (text.size() != PasskeyLength) {
        ui->labelAttention->setText(QString::fromLatin1(PasskeyHint));
        QPalette palette = ui->labelAttention->palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        ui->labelAttention->setPalette(palette);
        return;
    }
    answer(text, 1);
    accept();
}

void csmdilog::on_btn_No_clicked()
{
    answer(ui->lineEdit_number->text(), 0);
    QDialog::reject();
}

void csmdilog::on_closeClicked()
{
    reject();
}

// Escape and the title bar decline with nothing typed.
void csmdilog::reject()
{
    answer(QStringLiteral("0"), 0);
    QDialog::reject();
}
