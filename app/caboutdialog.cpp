#include "caboutdialog.h"

#include "ui_caboutdialog.h"

CAboutDialog::CAboutDialog(QWidget *parent)
    : CFlatDialog(QStringLiteral("About"), parent), ui(new Ui::CAboutDialog)
{
    // The form is placed on the dialog itself: its positions count from the
    // dialog's corner and leave the title bar above the picture free.
    ui->setupUi(this);
    connect(ui->pushButton, &QPushButton::clicked, this, &QDialog::accept);
    setWindowIcon(QIcon(QStringLiteral(":/icons/launcher.png")));
    setFixedSize(515, 290);
}

CAboutDialog::~CAboutDialog()
{
    delete ui;
}
