#pragma once

#include "advlisttabletablemodel.h"
#include "pageinterfaces.h"
#include "uplinkdispatcher.h"
#include "uplinkstatus.h"

#include <QByteArray>
#include <QMap>
#include <QModelIndex>
#include <QString>
#include <QVariant>

class CAddAdvertisingDialog;
class CAdvBaseWidget;
class CMsg;
class LogManager;

namespace Ui {
class advertising;
}

// The advertising page of one dongle: its advertising sets, the form of the
// chosen set, and the acknowledged start of a set (parameters, data, start).
class advertisingWidget : public AdvertisingPage
{
    Q_OBJECT

public:
    advertisingWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent = nullptr);
    ~advertisingWidget() override;

    bool isAdvertising() const override;
    void resetAdvList() override;
    QVector<advListItem> &advList();

signals:
    void advTypeIndexChanged(QString advType);

public slots:
    void onRcvMsg(QByteArray rcvMsg) override;

private slots:
    void on_btnAddAdvList_clicked();
    void on_btnConnAdvBIG_clicked();
    void on_addAdvertisingItem(int advIndex, QString advType);
    void on_btnClearAdvList_clicked();
    void on_adverTypeChanged(QString advType);
    void on_btnDeleteAdvList_clicked();
    void on_btnStartAdv_clicked();

private:
    // Connected explicitly to the table's pressed(); as a slot this name would
    // send connectSlotsByName looking for a signal "advListClicked".
    void on_tableView_advListClicked(const QModelIndex &index);
    void paramSetProc(const QByteArray &frame);
    void dataSetProc(const QByteArray &frame);
    void SDKProc(const QByteArray &frame);
    void advertisingStartProc(const QByteArray &frame);
    void advertisingStopProc(const QByteArray &frame);

    void showAdvWidget(CAdvBaseWidget *widget);
    CAdvBaseWidget *makeForm(const QString &advType);
    void updateAddButton();
    void showStartButton(bool advertising);
    // The buttons as pressing the table's current row sets them.
    void refreshButtonsForCurrentRow();
    // The current row of the table, or -1 after logging the row error.
    int currentRow();
    // The row of the set being started, or -1 (and the start forgotten).
    int startingRow();
    void sendIndexCommand(const QString &command, int advIndex);
    // Marks every row of that index advertising (1) or stopped (0).
    void setStatus(int advIndex, quint8 status);
    bool acknowledgedWithSuccess(const QByteArray &frame);

    UplinkStatus m_status;
    UplinkDispatcher<advertisingWidget> m_uplinkHandlers;
    QMap<uint, CAdvBaseWidget *> m_advWidgets;
    Ui::advertising *ui;
    CMsg *m_msg;
    LogManager *m_logger;
    QMap<QString, QVariant> *m_settings;
    AdvListTableTableModel *m_advListModel;
    CAddAdvertisingDialog *m_addAdvertisingDialog;
    QString m_curAdvType;
    QMap<QString, CAdvBaseWidget *> m_typeWidgets;
    // The index of the set whose start is under way (-1: none). The
    // acknowledgements carry no index, and the user may press another row
    // while they are on their way.
    int m_startingIndex = -1;
};
