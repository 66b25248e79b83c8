#pragma once

#include "cflatdialog.h"

#include <QMap>
#include <QString>
#include <QVariant>

namespace Ui {
class CStandardMsgDlg;
}

class CmsgField;
class LogManager;

// OK/Cancel dialog around the form of one downlink command, or of one row of
// its "list" field. It deletes itself when closed.
class CStandardMsgDlg : public CFlatDialog
{
    Q_OBJECT

public:
    CStandardMsgDlg(LogManager *log, const QString &title, const QString &cmdName,
                    QWidget *parent = nullptr);
    ~CStandardMsgDlg() override;

    void buildForm();
    void buildSubFieldForm();
    QMap<QString, QVariant> getFieldValues();
    QMap<QString, QVariant> getSubFieldValues();
    void setFieldValues(const QMap<QString, QVariant> &values);
    void setFieldValueMap(const QMap<QString, QVariant> &values);

signals:
    void sig_standardOKClicked();

public slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

private:
    Ui::CStandardMsgDlg *ui;
    QMap<QString, QVariant> m_fieldValueMap;
    QString m_cmdName;
    CmsgField *m_msgField;
    LogManager *m_log;
};
