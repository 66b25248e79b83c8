#include "caboutdialog.h"

#include "ui_caboutdialog.h"

CAboutDialog::CAboutDialog(QWidget *parent)
    : CFlatDialog(QStringLiteral("About"), parent), ui(new Ui::CAboutDialog)
{
    ui->setupUi(m_content);
    m_content->setMinimumSize(515, 290 - m_titleBar->height());
    connect(ui->pushButton, &QPushButton::clicked, this, &QDialog::accept);
    setWindowIcon(QIcon(QStringLiteral(":/icons/launcher")));
    adjustSize();
    setFixedSize(515, 290);
}

CAboutDialog::~CAboutDialog()
{
    delete ui;
}
