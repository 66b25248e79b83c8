#pragma once

#include "pageinterfaces.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

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
    void onRcvMsg(QByteArray frame);

private:
    void registerPSMProc(const QByteArray &frame);
    void unregisterPSMProc(const QByteArray &frame);
    static bool isSuccess(const QByteArray &frame);
    void buildForm();

    UplinkDispatcher<CRegisterPSMDialog> m_handlers;
    Ui::CRegisterPSMDialog *ui = nullptr;
    CmsgField *m_msgField = nullptr;
    // The list until the form is built.
    QStringList m_entries;
    QString m_psm;
    int m_unregisterRow = -1;
    CMsg *m_link;
    LogManager *m_logger;
    PageWire m_wire;
};
