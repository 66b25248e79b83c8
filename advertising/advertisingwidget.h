#pragma once

#include "advlisttabletablemodel.h"
#include "pageinterfaces.h"
#include "uplinkdispatcher.h"
#include "pagewire.h"

#include <QByteArray>
#include <QMap>
#include <QModelIndex>
#include <QSet>
#include <QString>
#include <QTimer>
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
    // How long each step of a start waits for the dongle's acknowledgement.
    static constexpr int DefaultStartStepTimeoutMs = 10000;

    advertisingWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings, QWidget *parent = nullptr);
    ~advertisingWidget() override;

    void setStartStepTimeoutMs(int ms) { m_stepTimer.setInterval(ms); }

    bool isAdvertising() const override;
    void resetAdvList() override;
    void stopStartedSets() override;
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
    // The pane, the type and the buttons follow the table's current row,
    // whatever moved it: the mouse, the arrow keys or the page itself.
    void onCurrentSetChanged(const QModelIndex &current);
    void paramSetProc(const QByteArray &frame);
    void dataSetProc(const QByteArray &frame);
    void startAckProc(const QByteArray &frame);
    void advertisingStartProc(const QByteArray &frame);
    void advertisingStopProc(const QByteArray &frame);

    void showAdvWidget(CAdvBaseWidget *widget);
    CAdvBaseWidget *makeForm(const QString &advType);
    void updateAddButton();
    void showStartButton(bool advertising);
    // The buttons for the table's current row.
    void refreshButtonsForCurrentRow();
    // Makes that row current and highlighted (the pane follows).
    void makeCurrent(int row);
    // The current row of the table, or -1 after logging the row error.
    int currentRow();
    bool sendIndexCommand(const QString &command, int advIndex, const PageWire::Answer &answer = PageWire::Answer());
    // Marks every row of that index advertising (1) or stopped (0).
    void setStatus(int advIndex, quint8 status);
    void setFailure(int advIndex, const QString &failure);

    // An acknowledgement of a start step that answers no step sent.
    void unexpectedStepProc(const QByteArray &frame);
    // Where the acknowledgement `ackId` of a step of start `serial` goes.
    PageWire::Answer stepAnswer(quint64 serial, const QString &ackId);
    // The step just sent waits for its acknowledgement `ackId`, a bounded time.
    void awaitStep(const QString &ackId);
    // The acknowledgement of a step of start `serial` (empty: it was lost).
    void stepAnswered(quint64 serial, const QString &ackId, const QByteArray &frame);
    void onStepTimeout();
    // The awaited step succeeded; else the start ends and the user is told.
    bool stepSucceeded(const QByteArray &frame);
    void sendStart(int advIndex);
    void endStart();
    // The set's Status cell and a box tell that it did not start, and why.
    void reportStartFailure(int advIndex, const QString &reason, const QString &status);

    PageWire m_wire;
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
    // The start under way: one at a time, as the acknowledgements carry no
    // index; the user may move to another row while they are on their way.
    struct StartStep
    {
        int advIndex = -1; // -1: no start under way
        quint64 serial = 0; // tells a start's acknowledgements from an earlier one's
        QString awaitedAck; // uplink ID of the step's acknowledgement
        QString dataAck;    // that of the set's data step
    };
    StartStep m_start;
    quint64 m_startSerial = 0;
    QTimer m_stepTimer;
    // Sets whose start command the dongle accepted; their event is to come.
    QSet<int> m_awaitingStartEvent;
};
