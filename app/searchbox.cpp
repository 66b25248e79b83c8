#include "searchbox.h"

#include "ui_searchbox.h"

SearchBox::SearchBox(QWidget *parent)
    : CFlatDialog(QStringLiteral("search"), parent), ui(new Ui::SearchBox)
{
    ui->setupUi(m_content);
    setWindowTitle(QStringLiteral("search"));
    setWindowModality(Qt::NonModal);
    resize(247, 111);
    // The form lives in the content frame, so its slots are wired here.
    connect(ui->buttonNext, &QPushButton::clicked, this, &SearchBox::on_buttonNext_clicked);
    connect(ui->buttonPrevious, &QPushButton::clicked, this, &SearchBox::on_buttonPrevious_clicked);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &SearchBox::on_lineEdit_textChanged);
}

SearchBox::~SearchBox()
{
    delete ui;
}

QString SearchBox::text() const
{
    return ui->lineEdit->text();
}

void SearchBox::on_buttonNext_clicked()
{
    emit searchNext(this);
}

void SearchBox::on_buttonPrevious_clicked()
{
    emit searchPrevious(this);
}

void SearchBox::on_lineEdit_textChanged(const QString &arg1)
{
    Q_UNUSED(arg1)
    m_matchRow = -1;
    m_matchColumn = -1;
}
