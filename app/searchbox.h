#pragma once

#include <QString>

#include "cflatdialog.h"

namespace Ui {
class SearchBox;
}

// The find box of the scanning page's discovery table. It searches nothing
// itself: the page walks the table and keeps the last match here.
class SearchBox : public CFlatDialog
{
    Q_OBJECT

public:
    explicit SearchBox(QWidget *parent = nullptr);
    ~SearchBox() override;

    QString text() const;

    int m_matchRow = -1;
    int m_matchColumn = -1;
    QString m_matchText;

signals:
    void searchNext(SearchBox *sb);
    void searchPrevious(SearchBox *sb);

private slots:
    void on_buttonNext_clicked();
    void on_buttonPrevious_clicked();
    void on_lineEdit_textChanged(const QString &arg1);

private:
    Ui::SearchBox *ui;
};
