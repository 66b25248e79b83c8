#pragma once

#include "cflatdialog.h"
#include "diagramwidget.h"
#include "pagewire.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTimer>

class CCommandUiWidget;
class CMsg;
class LogManager;

namespace Ui {
class GetInfoDlg;
}

// The "Get Info" dialog: one read-only form per local controller query
// (version, address, data length and advertising limits, power range, path
// compensation); each form's "Get" sends its query and the answer fills it.
class GetInfoDlg : public CFlatDialog
{
    Q_OBJECT

public:
    GetInfoDlg(CMsg *link, LogManager *logger, QWidget *parent = nullptr);
    ~GetInfoDlg() override;

    // Builds the forms; once, before the dialog is shown.
    void initForms();
    CCommandUiWidget *form(const QString &name) const { return m_forms.value(name); }

public slots:
    void onRcvMsg(QByteArray frame);

private:
    void getLocalDeviceInformationProc(const QByteArray &frame);

    UplinkDispatcher<GetInfoDlg> m_handlers;
    Ui::GetInfoDlg *ui;
    // Every command form is given a diagram; this one is never shown.
    DiagramWidget m_diagram;
    QTimer m_formTimer;
    QMap<QString, CCommandUiWidget *> m_forms;
    CMsg *m_link;
    LogManager *m_logger;
    PageWire m_wire;
};
