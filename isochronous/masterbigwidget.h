#pragma once

#include "bigdatatablemodel.h"
#include "bisdatatablemodel.h"
#include "bispanelarea.h"
#include "pageinterfaces.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QModelIndex>
#include <QVector>

#include <memory>

class CMsg;
class LogManager;
class bigParameterDialog;
class bisParameterDialog;
class manageCISWidget;

namespace Ui {
class MasterBIGWidget;
}

// "BIG And BIS  ": the receiver side of broadcast isochronous groups. The
// user lists BIGs and the BISes to receive of each, synchronises to a BIG over
// the periodic advertising sync the scanning page established, and each BIS
// the controller assigned a handle gets a receive-only ISO data panel.
class MasterBIGWidget : public BigReceiverPage
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

    // False while a BIG is synchronised.
    bool canClose() const override;

    QMap<QString, QVariant> createSyncFieldMap(const bigParameter &record) const;
    static QByteArray bisIndexBytes(const QVector<bisParameter> &list);
    void showDefaultIsoPanel();

    // For the dongle tab and tests.
    BigDataTableModel *bigModel() { return &m_bigModel; }
    BisDataTableModel *bisModel() { return &m_bisModel; }
    QVector<bisParameter> bisList(const QString &bigId) const { return m_bisListsByBig.value(bigId); }
    QVector<SyncEntry> syncList() const { return m_syncList; }
    manageCISWidget *panel(quint16 handle) const { return m_panels->panel(handle); }
    manageCISWidget *shownPanel() const { return m_panels->shown(); }
    QList<quint16> panelHandles() const { return m_panels->handles(); }

    // A BIG row, a BIS row pressed (connected by hand: their names match no child).
    void on_BIGTableView_changed(const QModelIndex &index);
    void on_BISTableView_changed(const QModelIndex &index);

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
    void onStatusRsp(const QByteArray &frame);
    void onBigCreateSyncComplete(const QByteArray &frame);
    void onBigTerminateSyncComplete(const QByteArray &frame);
    void readIsoTxSyncProc(const QByteArray &frame);
    void setupDataPathProc(const QByteArray &frame);
    void removeDataPathProc(const QByteArray &frame);
    void receiveIsoDataProc(const QByteArray &frame);

    int currentBigRow() const;
    int currentBisRow() const;
    // Buttons, BIS table and current index follow the row that is now current
    // (none when the table is empty).
    void followRow(int row);
    void send(const QString &name, const QMap<QString, QVariant> &fields);
    void log(const QString &text, int level);

    UplinkDispatcher<MasterBIGWidget> m_dispatcher;
    Ui::MasterBIGWidget *ui;
    bigParameterDialog *bigDialog = nullptr;
    bisParameterDialog *bisDialog = nullptr;
    CMsg *m_link = nullptr;
    LogManager *m_logger = nullptr;
    QMap<QString, QVariant> *m_settings = nullptr;
    QMap<QString, QVector<bisParameter>> m_bisListsByBig;
    QVector<SyncEntry> m_syncList;
    std::unique_ptr<BisPanelArea> m_panels;
    BigDataTableModel m_bigModel;
    QModelIndex currentBigIndex;
    BisDataTableModel m_bisModel;
};
