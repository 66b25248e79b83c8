#pragma once

#include "bisdatatablemodel.h"
#include "bispanelarea.h"
#include "pageinterfaces.h"
#include "slavebigdatatablemodel.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QModelIndex>
#include <QVector>

#include <memory>

class CMsg;
class LogManager;
class SlaveBIGParaDialog;
class manageCISWidget;

namespace Ui {
class SlaveBIGWidget;
}

// "BIG  ": the broadcaster side of broadcast isochronous groups. The user
// defines BIGs on one advertising set, has the controller create and
// terminate them, and each BIS the controller assigned a handle gets a
// send-only ISO data panel.
class SlaveBIGWidget : public BigBroadcasterPage
{
    Q_OBJECT

public:
    SlaveBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings, const QString &dongleName,
                   QWidget *parent = nullptr);
    ~SlaveBIGWidget() override;

    // The advertising set (decimal) that carries the BIGs added next; written by the dongle tab.
    QString advIndex;
    void setAdvertisingSetText(const QString &text) override { advIndex = text; }

    // False while a BIG is created.
    bool canClose() const override;

    QMap<QString, QVariant> createBigFieldMap(const slaveBigPara &record) const;
    void showDefaultIsoPanel();

    // For the dongle tab and tests.
    SlaveBigDataTableModel *bigModel() { return &m_bigModel; }
    BisDataTableModel *bisModel() { return &m_bisModel; }
    QVector<bisParameter> bisList(const QString &bigId) const { return m_bisListsByBig.value(bigId); }
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
    void on_rcvBIGPara(slaveBigPara para);
    void onRcvMsg(QByteArray frame);

private:
    void onStatusRsp(const QByteArray &frame);
    void onCreateBigComplete(const QByteArray &frame);
    void onTerminateBigComplete(const QByteArray &frame);
    void readIsoTxSyncProc(const QByteArray &frame);
    void setupDataPathProc(const QByteArray &frame);
    void removeDataPathProc(const QByteArray &frame);

    int currentBigRow() const;
    // Buttons, BIS table and current index follow the row that is now current
    // (none when the table is empty).
    void followRow(int row);
    void send(const QString &name, const QMap<QString, QVariant> &fields);
    void log(const QString &text, int level);

    Ui::SlaveBIGWidget *ui;
    UplinkDispatcher<SlaveBIGWidget> m_dispatcher;
    CMsg *m_link = nullptr;
    LogManager *m_logger = nullptr;
    QMap<QString, QVariant> *m_settings = nullptr;
    SlaveBIGParaDialog *paraDialog = nullptr;
    QMap<QString, QVector<bisParameter>> m_bisListsByBig;
    std::unique_ptr<BisPanelArea> m_panels;
    SlaveBigDataTableModel m_bigModel;
    QModelIndex currentBigIndex;
    BisDataTableModel m_bisModel;
};
