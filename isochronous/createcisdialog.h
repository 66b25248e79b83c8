#pragma once

#include "cflatdialog.h"
#include "cisparameter.h"
#include "pagewire.h"

#include <QByteArray>
#include <QVector>

class CMsg;
class CStyledComboBox;
class CValidateLineEdit;
class LogManager;

namespace Ui {
class createCISDialog;
}

// "Create CIS Connection": one row per checked stream, each put on one of
// the dongle's ACL connections; OK sends "Create CIS" for all rows at once.
class createCISDialog : public CFlatDialog
{
    Q_OBJECT

public:
    createCISDialog(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~createCISDialog() override;

    void setCisList(QVector<cisParameter> records, QVector<quint8> aclIndexes);
    int rowCount() const;

public slots:
    void on_pushButton_ok_clicked();

private:
    // Handle texts and ACL index texts of the grid's rows, in row order.
    void collectCisValues(QStringList *handles, QStringList *aclIndexes) const;

    // The editors of one stream's row.
    struct Row
    {
        CValidateLineEdit *handle;
        CStyledComboBox *acl;
    };

    Ui::createCISDialog *ui;
    QVector<Row> m_rows;
    QVector<cisParameter> m_records;
    QVector<quint8> m_aclIndexes;
    PageWire m_wire;
};
