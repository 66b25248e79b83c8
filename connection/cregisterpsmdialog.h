#pragma once

#include "pageinterfaces.h"
#include "pagewire.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

class CMsg;
class CmsgField;
class LogManager;

namespace Ui {
class CRegisterPSMDialog;
}

// Registers L2CAP PSMs on the dongle and unregisters them. The list shows
// only what the dongle confirmed; answers that arrive while the dialog is
// hidden still update it. One per dongle tab, kept for the tab's life; its
// form is built when it is first shown, not with the tab.
class CRegisterPSMDialog : public PsmDialog
{
    Q_OBJECT

public:
    CRegisterPSMDialog(CMsg *link, LogManager *log, QWidget *parent = nullptr);
    ~CRegisterPSMDialog() override;

    void clearPsmList() override;
    QStringList psmEntries() const;
    void setVisible(bool visible) override;

public slots:
    void on_pushButtonRegister_clicked();
    void on_pushButtonUnRegister_clicked();

private:
    // The answer to the registration of `psm`.
    void registerPSMProc(const QString &psm, const QByteArray &frame);
    // The answer to the unregistration of the entry at `row` (-1: the list has changed since).
    void unregisterPSMProc(int row, const QByteArray &frame);
    // Logs the answer; true when it says success.
    bool isSuccess(const QByteArray &frame, const QString &command) const;
    void buildForm();

    Ui::CRegisterPSMDialog *ui = nullptr;
    CmsgField *m_msgField = nullptr;
    // The list until the form is built.
    QStringList m_entries;
    // Counts the list's clearings.
    quint64 m_listSerial = 0;
    CMsg *m_link;
    LogManager *m_logger;
    PageWire m_wire;
};
