#include "cinputdialog.h"

#include "ui_cinputdialog.h"

#include "cutil.h"

#include <QCursor>

CInputDialog::CInputDialog(quint8 base, const QString &text, QWidget *parent)
    : CFlatDialog(QString(), parent, 0, 0, false)
    , m_ui(new Ui::CInputDialog)
    , m_base(base)
{
    m_ui->setupUi(m_content);
    move(QCursor::pos());
    m_ui->textEditInput->setBase(m_base);
    m_ui->textEditInput->setPlainText(text);
    connect(m_ui->pushButtonOK, &QPushButton::clicked, this, &CInputDialog::on_pushButtonOK_clicked);
    connect(m_ui->pushButtonCancel, &QPushButton::clicked, this, &CInputDialog::on_pushButtonCancel_clicked);
}

CInputDialog::~CInputDialog()
{
    delete m_ui;
}

Ui::CInputDialog *CInputDialog::form() const
{
    return m_ui;
}

void CInputDialog::on_pushButtonOK_clicked()
{
    QString digits = m_ui->textEditInput->toPlainText();
    digits.remove(QLatin1Char(':'));
    if (digits.size() % 2 != 0)
        digits.insert(digits.size() - 1, QLatin1Char('0'));
    m_ui->textEditInput->setPlainText(CUtil::hexPairText(digits, CUtil::AsSent, ':'));
    emit sig_inputTextChanged(m_ui->textEditInput->toPlainText());
    close();
}

void CInputDialog::on_pushButtonCancel_clicked()
{
    close();
}
