#pragma once

#include "cigdatatablemodel.h"
#include "cisdatatablemodel.h"
#include "isopanelarea.h"
#include "pagewire.h"
#include "pageinterfaces.h"
#include "uplinkdispatcher.h"

#include <QByteArray>
#include <QMap>
#include <QModelIndex>
#include <QVector>

#include <memory>

class CMsg;
class LogManager;
class cigParameterDialog;
class cisParameterDialog;
class createCISDialog;
class manageCISWidget;

namespace Ui {
class CCigCisWidget;
}

// "Master CIG and CIS": the central side's groups and their streams. CIGs
// and CISes are configured in dialogs, sent to the controller, the streams
// created on ACL connections, and each established stream gets its ISO data
// panel.
class CCigCisWidget : public CigCisPage
{
    Q_OBJECT

public:
    static constexpr quint16 PlaceholderHandle = IsoPanelArea::PlaceholderHandle;

    CCigCisWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                  const QVector<quint8> *aclIndexes, const QString &dongleName, QWidget *parent = nullptr);
    ~CCigCisWidget() override;

    // False while the controller holds a CIG of this page.
    bool canClose() const override;

    // For the dongle tab and tests.
    CigDataTableModel *cigModel() { return &m_cigModel; }
    CisDataTableModel *cisModel() { return &m_cisModel; }
    QVector<cisParameter> cisList(const QString &cigId) const { return m_cisListsByCig.value(cigId); }
    manageCISWidget *panel(quint16 handle) const;
    manageCISWidget *shownPanel() const;

    // A CIG row, a CIS row pressed (connected by hand: their names match no child).
    void on_CISTableView_changed(const QModelIndex &index);
    void on_manageCIS_changed(const QModelIndex &index);

public slots:
    void on_getCigPara(cigParameter record);
    void on_getCisPara(cisParameter record);
    void onRcvMsg(QByteArray frame);
    void on_toolButton_AddCIG_clicked();
    void on_toolButton_AddCIS_clicked();
    void on_toolButton_setCIG_clicked();
    void on_toolButton_createCIS_clicked();
    void on_toolButton_disconnect_clicked();
    void on_toolButton_editCIG_clicked();
    void on_toolButton_editCIS_clicked();
    void on_toolButton_removeCIG_clicked();
    void on_toolButton_removeCIS_clicked();

private:
    void onSetCigResult(const QByteArray &frame);
    void onCreateCisResult(const QByteArray &frame);
    void onDisconnectCisEvent(const QByteArray &frame);
    void onRemoveCigResult(const QByteArray &frame);
    void readIsoTxSyncProc(const QByteArray &frame);
    void setupDataPathProc(const QByteArray &frame);
    void removeDataPathProc(const QByteArray &frame);
    void receiveIsoDataProc(const QByteArray &frame);

    // Decides every button of the page from the current rows and the streams.
    void updateButtons();
    bool hasCurrentCig() const;
    // True while the controller runs a stream on the CIS's handle (it has a panel).
    bool streamUp(const cisParameter &cis) const;
    bool anyStreamUp(const QVector<cisParameter> &list) const;
    int rowOfCig(const QString &cigId) const;
    // The CIG a set or remove result is for: the ID it carries, else the one the command was sent for.
    QString resultCigId(const QMap<QString, QByteArray> &fields, const QString &sentId) const;
    int currentCisRow() const;
    // The displayed CIS list goes back under the ID of the CIG it came from.
    void writeBack();
    void showCig(int row);
    void reloadDisplayedCis();
    void selectCigRow(int row);
    void showDefaultManageCis();
    void buildCigFields(const cigParameter &cig, QMap<QString, QVariant> *fields) const;
    QByteArray buildCisRecords(const QVector<cisParameter> &list) const;
    void showError(const QString &text);
    void log(const QString &text, int level);

    UplinkDispatcher<CCigCisWidget> m_dispatcher;
    Ui::CCigCisWidget *ui;
    cigParameterDialog *m_cigDialog = nullptr;
    cisParameterDialog *m_cisDialog = nullptr;
    createCISDialog *m_createDialog = nullptr;
    CigDataTableModel m_cigModel;
    int m_currentCigRow = -1;
    // The CIG whose list the CIS table shows; its rows go back under this ID.
    QString m_displayedCigId;
    int m_editCisRow = -1;
    QString m_editCisCigId;
    QString m_editCigId;
    QString m_setCigSentId;
    QString m_removeCigSentId;
    CisDataTableModel m_cisModel;
    QMap<QString, QVector<cisParameter>> m_cisListsByCig;
    std::unique_ptr<IsoPanelArea> m_panelArea;
    const QVector<quint8> *m_aclIndexes = nullptr;
    PageWire m_wire;
};
