#pragma once

#include "bigpage.h"
#include "pageinterfaces.h"
#include "slavebigdatatablemodel.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>

class CMsg;
class LogManager;
class SlaveBIGParaDialog;

namespace Ui {
class SlaveBIGWidget;
}

// "BIG  ": the broadcaster side of broadcast isochronous groups. The user
// defines BIGs on one advertising set, has the controller create and
// terminate them, and each BIS the controller assigned a handle gets a
// send-only ISO data panel.
class SlaveBIGWidget : public BigPage<BigBroadcasterPage, SlaveBigDataTableModel>
{
    Q_OBJECT

public:
    SlaveBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, const QString &dongleName,
                   QWidget *parent = nullptr);
    ~SlaveBIGWidget() override;

    // The advertising set (decimal) that carries the BIGs added next; written by the dongle tab.
    QString advIndex;
    void setAdvertisingSetText(const QString &text) override { advIndex = text; }

    QMap<QString, QVariant> createBigFieldMap(const slaveBigPara &record) const;

    // A BIG row, a BIS row pressed (connected by hand: their names match no child).
    void on_BIGTableView_changed(const QModelIndex &index) override;
    void on_BISTableView_changed(const QModelIndex &index) override;
    void updateButtons() override;

public slots:
    void on_toolButton_addBIG_clicked();
    void on_toolButton_editBIG_clicked();
    void on_toolButton_removeBIG_clicked();
    void on_toolButton_terminateBIG_clicked();
    void on_toolButton_createBIG_clicked();
    void on_rcvBIGPara(slaveBigPara para);
    void onRcvMsg(QByteArray frame);

private:
    void onCreateBigComplete(const QByteArray &frame);
    void onTerminateBigComplete(const QByteArray &frame);

    Ui::SlaveBIGWidget *ui;
    UplinkDispatcher<SlaveBIGWidget> m_dispatcher;
    SlaveBIGParaDialog *paraDialog = nullptr;
};
