#pragma once

#include "bigdatatablemodel.h"
#include "bigpage.h"
#include "pageinterfaces.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QVector>

class CMsg;
class LogManager;
class bigParameterDialog;
class bisParameterDialog;

namespace Ui {
class MasterBIGWidget;
}

// "BIG And BIS  ": the receiver side of broadcast isochronous groups. The
// user lists BIGs and the BISes to receive of each, synchronises to a BIG over
// the periodic advertising sync the scanning page established, and each BIS
// the controller assigned a handle gets a receive-only ISO data panel.
class MasterBIGWidget : public BigPage<BigReceiverPage, BigDataTableModel>
{
    Q_OBJECT

public:
    struct SyncEntry
    {
        quint16 syncHandle = 0;
        bigParameter big;
    };

    MasterBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, const QString &dongleName,
                    QWidget *parent = nullptr);
    ~MasterBIGWidget() override;

    // The periodic advertising sync the next BIG added is synchronised over;
    // written by the dongle tab.
    quint16 syncHandle = 0;
    void setSyncValue(quint16 syncValue) override { syncHandle = syncValue; }

    QMap<QString, QVariant> createSyncFieldMap(const bigParameter &record) const;
    static QByteArray bisIndexBytes(const QVector<bisParameter> &list);
    QVector<SyncEntry> syncList() const { return m_syncList; }

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
    void on_toolButton_addBIS_clicked();
    void on_toolButton_editBIS_clicked();
    void on_toolButton_removeBIS_clicked();
    void on_rcvBIGPara(bigParameter para);
    void on_rcvBISPara(bisParameter para);
    void onRcvMsg(QByteArray frame);

private:
    void onBigCreateSyncComplete(const QByteArray &frame);
    void onBigTerminateSyncComplete(const QByteArray &frame);
    void bigRowRemoved(int row) override;

    UplinkDispatcher<MasterBIGWidget> m_dispatcher;
    Ui::MasterBIGWidget *ui;
    bigParameterDialog *bigDialog = nullptr;
    bisParameterDialog *bisDialog = nullptr;
    // One entry per BIG row: the sync handle the BIG was added with.
    QVector<SyncEntry> m_syncList;
};
