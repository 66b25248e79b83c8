#include "searchbox.h"

#include "ui_searchbox.h"

SearchBox::SearchBox(QWidget *parent) : QDialog(parent), ui(new Ui::SearchBox)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("search"));
    setWindowModality(Qt::NonModal);
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

void SearchBox::on_lineEdit_textChanged(const QString &)
{
    m_matchRow = -1;
    m_matchColumn = -1;
}
