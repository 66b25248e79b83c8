#pragma once

#include "advlisttabletablemodel.h"
#include "cflatdialog.h"

#include <QStringList>

class LogManager;

namespace Ui {
class AddAdvertisingDialog;
}

// Picks the type and a free index of a new advertising set.
class CAddAdvertisingDialog : public CFlatDialog
{
    Q_OBJECT

public:
    explicit CAddAdvertisingDialog(LogManager *logger, QWidget *parent = nullptr);
    ~CAddAdvertisingDialog() override;

    // Offers the indexes that none of the page's sets uses.
    void fillFreeAdvIndexes(const QVector<advListItem> &sets);

signals:
    void addAdvertisingItem(int advIndex, QString advType);
    void advTypeChanged(QString strItem);

public slots:
    void on_PB_AddAdv_clicked();
    void on_PB_Cancel_clicked();
    void on_advTypeChanged(QString strItem);
    void on_advTableClicked(QString str);

private:
    Ui::AddAdvertisingDialog *ui;
    const QStringList m_advTypes;
    const QStringList m_advIndexes;
    LogManager *m_logger;
};
