#pragma once

#include "datatablemodel.h"

#include <QByteArray>
#include <QWidget>

class QTableView;

namespace Ui {
class CAdvDataWidget;
}

// Composes a set's advertising, scan response and periodic data. It sends
// nothing: the parameter forms ask it for the bytes.
class CAdvDataWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CAdvDataWidget(QWidget *parent = nullptr);
    ~CAdvDataWidget() override;

    QByteArray getAdvData() const;
    QByteArray getResData() const;
    // The invalid-data marker when the typed digits cannot make whole bytes.
    QByteArray getPeriodicData() const;
    void setPeriodicDataVisible(bool visible);

    // The bytes a form takes for data it cannot encode ("FF").
    static QByteArray invalidDataMarker();

private slots:
    void on_btnClearAdvData_clicked();
    void on_btnDeleteAdvData_clicked();
    void on_btnClearResData_clicked();
    void on_btnDeleteResData_clicked();
    void on_addDataButton_clicked();
    void on_addResponceData_clicked();
    void adTypeChanged(QString text);

private:
    void loadAdTypes();
    QByteArray buildAdData(const dataTableModel &model) const;
    bool checkDuplicateUuid(QString value);
    void addRow(dataTableModel &model, const QString &emptyText);
    static void deleteHighlightedRow(QTableView *view, dataTableModel &model);
    void showEditRefusal(const QString &text);

    Ui::CAdvDataWidget *ui;
    dataTableModel m_advDataModel;
    dataTableModel m_resDataModel;
};
