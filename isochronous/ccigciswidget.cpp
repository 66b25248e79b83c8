#include "ccigciswidget.h"

#include "ui_ccigciswidget.h"

#include "ccommand.h"
#include "cflatmessage.h"
#include "cigparameterdialog.h"
#include "cisparameterdialog.h"
#include "cmsg.h"
#include "createcisdialog.h"
#include "cutil.h"
#include "isopanelarea.h"
#include "isouplink.h"
#include "logger.h"
#include "logmanager.h"
#include "manageciswidget.h"
#include "uplinkstatus.h"

#include <QHeaderView>

namespace {

const QString CisTitlePrefix = QStringLiteral("CIS Connection Handle: ");

void setUpTable(TFlatScrollArea<QTableView> *view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->setTopInset(25);
}

} // namespace

CCigCisWidget::CCigCisWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                             const QVector<quint8> *aclIndexes, const QString &dongleName, QWidget *parent)
    : CigCisPage(parent),
      m_dispatcher(this, logger,
                   {
                       {"BB@06@02", &CCigCisWidget::onStatusRsp},
                       {"BB@06@03", &CCigCisWidget::onStatusRsp},
                       {"BB@06@0D", &CCigCisWidget::onStatusRsp},
                       {"BB@06@04", &CCigCisWidget::onStatusRsp},
                       // Status frames of the panels' commands.
                       {"BB@06@01", &CCigCisWidget::onStatusRsp},
                       {"BB@06@0B", &CCigCisWidget::onStatusRsp},
                       {"BB@06@0C", &CCigCisWidget::onStatusRsp},
                       {"BB@06@0E", &CCigCisWidget::onStatusRsp},
                       {"DD@06@02", &CCigCisWidget::onSetCigResult},
                       {"DD@06@03", &CCigCisWidget::onCreateCisResult},
                       {"DD@06@0B", &CCigCisWidget::onDisconnectCisEvent},
                       {"DD@06@04", &CCigCisWidget::onRemoveCigResult},
                       {"DD@06@01", &CCigCisWidget::readIsoTxSyncProc},
                       {"DD@06@09", &CCigCisWidget::setupDataPathProc},
                       {"DD@06@0A", &CCigCisWidget::removeDataPathProc},
                       {"DD@06@0F", &CCigCisWidget::receiveIsoDataProc},
                   }),
      ui(new Ui::CCigCisWidget), m_aclIndexes(aclIndexes), m_link(link), m_logger(logger)
{
    ui->setupUi(this);
    m_cigDialog = new cigParameterDialog(link, logger, this);
    m_cisDialog = new cisParameterDialog(link, logger, this);
    m_createDialog = new createCISDialog(link, logger, this);
    // A new CIG never takes the ID of one the page still holds.
    m_cigDialog->setIdInUse([this](const QString &id) {
        const QVector<cigParameter> &cigs = m_cigModel.records();
        return std::any_of(cigs.cbegin(), cigs.cend(), [&id](const cigParameter &cig) { return cig.cigId == id; });
    });
    ui->CIGtableView->setModel(&m_cigModel);
    ui->CIStableView->setModel(&m_cisModel);
    setUpTable(ui->CIGtableView);
    setUpTable(ui->CIStableView);

    m_panelArea.reset(new IsoPanelArea(this, ui->verticalLayout_manageCIS, ui->label_connection, CisTitlePrefix,
                                       IsoPanelArea::Sides::SendAndReceive, link, logger, settings, dongleName));

    ui->splitter->setStretchFactor(0, 58);
    ui->splitter->setStretchFactor(1, 42);


    connect(m_cigDialog, &cigParameterDialog::sig_cigParaUpdate, this, &CCigCisWidget::on_getCigPara);
    connect(m_cisDialog, &cisParameterDialog::sig_cisParaUpdate, this, &CCigCisWidget::on_getCisPara);
    connect(ui->CIGtableView, &QAbstractItemView::pressed, this, &CCigCisWidget::on_CISTableView_changed);
    connect(ui->CIStableView, &QAbstractItemView::pressed, this, &CCigCisWidget::on_manageCIS_changed);
    if (link)
        connect(link, &CMsg::sig_rcvBIGCIGMsg, this, &CCigCisWidget::onRcvMsg);
}

CCigCisWidget::~CCigCisWidget()
{
    delete ui;
}

bool CCigCisWidget::canClose() const
{
    const QVector<cigParameter> &cigs = m_cigModel.records();
    return std::none_of(cigs.cbegin(), cigs.cend(), [](const cigParameter &cig) { return cig.status == 1; });
}

manageCISWidget *CCigCisWidget::panel(quint16 handle) const
{
    return m_panelArea->panel(handle);
}

manageCISWidget *CCigCisWidget::shownPanel() const
{
    return m_panelArea->shown();
}

void CCigCisWidget::log(const QString &text, int level)
{
    if (m_logger)
        m_logger->log(text, level);
}

void CCigCisWidget::showError(const QString &text)
{
    CFlatMessage::notify(this, QStringLiteral("ERROR"), text);
}

void CCigCisWidget::send(const QString &name, const QMap<QString, QVariant> &fields)
{
    if (!CCommand::sendMsg(m_link, m_logger, name, fields, QMap<QString, QVariant>()))
        CCommand::logSendFailed(m_logger, name);
}

void CCigCisWidget::onRcvMsg(QByteArray frame)
{
    m_dispatcher.dispatch(frame);
}

// ---------------------------------------------------------------------------
// Rows on display

bool CCigCisWidget::hasCurrentCig() const
{
    return m_currentCigRow >= 0 && m_currentCigRow < m_cigModel.records().size();
}

int CCigCisWidget::currentCisRow() const
{
    const QModelIndex index = ui->CIStableView->currentIndex();
    return index.isValid() && index.row() < m_cisModel.records().size() ? index.row() : -1;
}

void CCigCisWidget::writeBack()
{
    if (!m_displayedCigId.isNull())
        m_cisListsByCig.insert(m_displayedCigId, m_cisModel.records());
}

void CCigCisWidget::reloadDisplayedCis()
{
    const int row = currentCisRow();
    m_cisModel.setRecords(m_displayedCigId.isNull() ? QVector<cisParameter>()
                                                     : m_cisListsByCig.value(m_displayedCigId));
    if (row >= 0 && row < m_cisModel.rowCount())
        ui->CIStableView->setCurrentIndex(m_cisModel.index(row, 0));
}

void CCigCisWidget::selectCigRow(int row)
{
    if (row >= 0 && row < m_cigModel.rowCount())
        ui->CIGtableView->setCurrentIndex(m_cigModel.index(row, 0));
}

void CCigCisWidget::showCig(int row)
{
    m_currentCigRow = row;
    m_displayedCigId = m_cigModel.records().at(row).cigId;
    m_cisModel.setRecords(m_cisListsByCig.value(m_displayedCigId));
    selectCigRow(row);
}

// ---------------------------------------------------------------------------
// Adding, editing and removing rows

void CCigCisWidget::on_toolButton_AddCIG_clicked()
{
    m_cigDialog->m_editMode = false;
    m_cigDialog->exec();
}

void CCigCisWidget::on_toolButton_editCIG_clicked()
{
    if (!hasCurrentCig())
        return;
    const cigParameter cig = m_cigModel.records().at(m_currentCigRow);
    // The controller keeps the parameters it accepted; an edit would drop the set state.
    if (cig.status == 1) {
        showError(QStringLiteral("The CIG is set in the controller. Remove it before editing it."));
        return;
    }
    m_cigDialog->m_editMode = true;
    m_cigDialog->setParameter(cig);
    m_cigDialog->exec();
}

void CCigCisWidget::on_toolButton_AddCIS_clicked()
{
    m_cisDialog->m_editMode = false;
    m_cisDialog->exec();
}

void CCigCisWidget::on_toolButton_editCIS_clicked()
{
    const int row = currentCisRow();
    if (row < 0)
        return;
    m_editCisRow = row;
    m_cisDialog->m_editMode = true;
    m_cisDialog->setParameter(m_cisModel.records().at(row));
    m_cisDialog->exec();
}

void CCigCisWidget::on_getCigPara(cigParameter record)
{
    if (m_cigDialog->m_editMode) {
        if (!hasCurrentCig())
            return;
        m_cigModel.records()[m_currentCigRow] = record;
        m_cigModel.refresh();
        selectCigRow(m_currentCigRow);
        return;
    }
    writeBack();
    m_cigModel.records().append(record);
    m_cigModel.refresh();
    // The new CIG becomes current, so the CISes added next go under it.
    const int row = m_cigModel.rowCount() - 1;
    on_CISTableView_changed(m_cigModel.index(row, 0));
    showDefaultManageCis();
}

void CCigCisWidget::on_getCisPara(cisParameter record)
{
    if (!hasCurrentCig())
        return;
    if (!m_cisDialog->m_editMode) {
        m_cisModel.records().append(record);
        m_cisModel.refresh();
        showDefaultManageCis();
    } else {
        if (m_editCisRow < 0 || m_editCisRow >= m_cisModel.records().size())
            return;
        m_cisModel.records()[m_editCisRow] = record;
        m_cisModel.refresh();
    }
    writeBack();
    ui->toolButton_setCIG->setEnabled(true);
}

void CCigCisWidget::on_toolButton_removeCIS_clicked()
{
    const int row = currentCisRow();
    if (row < 0 || m_cisModel.records().at(row).status == 1 || !hasCurrentCig())
        return;
    m_cisModel.removeRecord(row);
    writeBack();
}

// ---------------------------------------------------------------------------
// Commands and their results

void CCigCisWidget::buildCigFields(const cigParameter &cig, QMap<QString, QVariant> *fields) const
{
    fields->insert(QStringLiteral("cig_id"), cig.cigId.toUInt());
    fields->insert(QStringLiteral("sdu_interval_m2s"), cig.sduIntervalM2S.toUInt());
    fields->insert(QStringLiteral("sdu_interval_s2m"), cig.sduIntervalS2M.toUInt());
    fields->insert(QStringLiteral("transport_latency_m2s"), cig.transportLatencyM2S.toUInt());
    fields->insert(QStringLiteral("transport_latency_s2m"), cig.transportLatencyS2M.toUInt());
    fields->insert(QStringLiteral("sca"), cig.sca.toUInt());
    fields->insert(QStringLiteral("packing"), cig.packing.toUInt());
    fields->insert(QStringLiteral("framing"), cig.framing.toUInt());
}

QByteArray CCigCisWidget::buildCisRecords(const QVector<cisParameter> &list) const
{
    QByteArray records;
    for (const cisParameter &cis : list) {
        records += CUtil::valueToArray(0, cis.cisId.toUInt(), 1);
        records += CUtil::valueToArray(0, cis.maxSduM2S.toUInt(), 2);
        records += CUtil::valueToArray(0, cis.maxSduS2M.toUInt(), 2);
        records += CUtil::valueToArray(0, cis.phyM2S.toUInt(), 1);
        records += CUtil::valueToArray(0, cis.phyS2M.toUInt(), 1);
        records += CUtil::valueToArray(0, cis.rtnM2S.toUInt(), 1);
        records += CUtil::valueToArray(0, cis.rtnS2M.toUInt(), 1);
    }
    return records;
}

void CCigCisWidget::on_toolButton_setCIG_clicked()
{
    if (!hasCurrentCig())
        return;
    writeBack();
    const cigParameter &cig = m_cigModel.records().at(m_currentCigRow);
    QMap<QString, QVariant> fields;
    buildCigFields(cig, &fields);
    const QVector<cisParameter> list = m_cisListsByCig.value(cig.cigId);
    fields.insert(QStringLiteral("cis_count"), uint(list.size()));
    fields.insert(QStringLiteral("cis"), buildCisRecords(list));
    send(QStringLiteral("CIG Parameter Set"), fields);
}

void CCigCisWidget::onSetCigResult(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!UplinkStatus::parse(m_logger, frame, &fields) || !hasCurrentCig())
        return;
    const cigParameter cig = m_cigModel.records().at(m_currentCigRow);
    if (IsoUplink::number(fields, QStringLiteral("cig_id")) != cig.cigId.toULongLong()) {
        showError(QStringLiteral("The returned cig ID is wrong in set CIG command."));
        log(QStringLiteral("CIG ID sended is not equal to the response CIG ID."), LogLevel::Error);
        return;
    }
    writeBack();
    QVector<cisParameter> list = m_cisListsByCig.value(cig.cigId);
    const quint64 count = IsoUplink::number(fields, QStringLiteral("cis_count"));
    if (count != quint64(list.size())) {
        showError(QStringLiteral("The returned cis count is wrong in set CIG command."));
        log(QStringLiteral("CIS Count sended is not equal to the response CIS Count."), LogLevel::Error);
        return;
    }
    if (!IsoUplink::statusSucceeded(m_logger, IsoUplink::name(frame), fields))
        return;
    // A row reset by a nested dialog may have moved the current row; find the CIG again.
    for (cigParameter &held : m_cigModel.records()) {
        if (held.cigId == cig.cigId)
            held.status = 1;
    }
    m_cigModel.refresh();
    const QByteArray handles = fields.value(QStringLiteral("cis_handle"));
    for (int i = 0; i < list.size() && i * 2 + 1 < handles.size(); ++i)
        list[i].cisHandle = QString::number(CUtil::littleEndian(handles.mid(i * 2, 2)));
    m_cisListsByCig.insert(cig.cigId, list);
    reloadDisplayedCis();
    ui->toolButton_createCIS->setEnabled(true);
    ui->toolButton_removeCIG->setEnabled(true);
    selectCigRow(m_currentCigRow);
}

void CCigCisWidget::on_toolButton_createCIS_clicked()
{
    writeBack();
    QVector<cisParameter> checked;
    for (const cisParameter &cis : m_cisModel.records()) {
        // A stream already established is not created twice.
        if (cis.checkState == Qt::Checked && cis.status != 1)
            checked << cis;
    }
    if (checked.isEmpty()) {
        showError(QStringLiteral("Please check having selected Item."));
        return;
    }
    const QVector<quint8> acl = m_aclIndexes ? *m_aclIndexes : QVector<quint8>();
    if (acl.isEmpty()) {
        showError(QStringLiteral("There is no ACL connection to create the CIS on."));
        return;
    }
    for (const cisParameter &cis : qAsConst(checked)) {
        if (cis.cisHandle.isEmpty()) {
            showError(QStringLiteral("The CIS has no connection handle. Please set the CIG parameter first."));
            return;
        }
    }
    m_createDialog->setCisList(checked, acl);
    m_createDialog->exec();
}

void CCigCisWidget::onCreateCisResult(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!UplinkStatus::parse(m_logger, frame, &fields))
        return;
    if (!IsoUplink::statusSucceeded(m_logger, IsoUplink::name(frame), fields))
        return;
    const QString handle = QString::number(IsoUplink::number(fields, QStringLiteral("cis_connection_handle")));
    writeBack();
    const QVector<cigParameter> &cigs = m_cigModel.records();
    // The stream may belong to a CIG that is not on display.
    for (auto list = m_cisListsByCig.begin(); list != m_cisListsByCig.end(); ++list) {
        auto cig = std::find_if(cigs.cbegin(), cigs.cend(),
                                [&list](const cigParameter &c) { return c.cigId == list.key(); });
        for (cisParameter &cis : list.value()) {
            if (cis.cisHandle != handle)
                continue;
            cis.status = 1;
            const quint16 number = quint16(handle.toUInt());
            manageCISWidget *panel = m_panelArea->panelFor(number);
            panel->disableInterval();
            panel->setParameters(cis.maxSduM2S, cig != cigs.cend() ? cig->sduIntervalM2S : QString());
        }
    }
    reloadDisplayedCis();
}

void CCigCisWidget::on_toolButton_disconnect_clicked()
{
    const int row = currentCisRow();
    if (row < 0)
        return;
    send(QStringLiteral("Disconnect CIS"),
         {{QStringLiteral("cis_conncet_handle"), m_cisModel.records().at(row).cisHandle.toUInt()}});
}

void CCigCisWidget::onDisconnectCisEvent(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!UplinkStatus::parse(m_logger, frame, &fields))
        return;
    const quint64 number = IsoUplink::number(fields, QStringLiteral("cis_connection_handle"));
    const QString handle = QString::number(number);
    writeBack();
    bool matched = false;
    for (QVector<cisParameter> &list : m_cisListsByCig) {
        for (cisParameter &cis : list) {
            if (cis.cisHandle == handle) {
                cis.status = 0;
                matched = true;
            }
        }
    }
    showDefaultManageCis();
    if (matched && number != PlaceholderHandle)
        m_panelArea->discard(quint16(number));
    reloadDisplayedCis();
    if (matched)
        log(QStringLiteral("Disconnect CIS succeed."), LogLevel::Info);
}

void CCigCisWidget::on_toolButton_removeCIG_clicked()
{
    if (!hasCurrentCig())
        return;
    const QVector<cisParameter> &shown = m_cisModel.records();
    if (std::any_of(shown.cbegin(), shown.cend(), [](const cisParameter &cis) { return cis.status == 1; })) {
        showError(QStringLiteral("Please check you have disconnected CIS Before remove CIG."));
        return;
    }
    send(QStringLiteral("Remove CIG"),
         {{QStringLiteral("cig_id"), m_cigModel.records().at(m_currentCigRow).cigId.toUInt()}});
}

void CCigCisWidget::onRemoveCigResult(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!UplinkStatus::parse(m_logger, frame, &fields) || !hasCurrentCig())
        return;
    const QString cigId = m_cigModel.records().at(m_currentCigRow).cigId;
    if (IsoUplink::number(fields, QStringLiteral("cig_id")) != cigId.toULongLong()) {
        showError(QStringLiteral("The returned cig ID is wrong in remove CIG command."));
        return;
    }
    if (!IsoUplink::statusSucceeded(m_logger, IsoUplink::name(frame), fields))
        return;
    m_cisListsByCig.remove(cigId);
    for (int row = 0; row < m_cigModel.records().size(); ++row) {
        if (m_cigModel.records().at(row).cigId == cigId) {
            m_cigModel.removeRecord(row);
            break;
        }
    }
    if (m_cigModel.rowCount() == 0) {
        m_cigModel.clear();
        m_cisModel.clear();
        m_currentCigRow = -1;
        m_displayedCigId = QString();
    } else {
        showCig(0);
        ui->toolButton_removeCIG->setEnabled(m_cigModel.records().at(0).status == 1);
    }
    log(QStringLiteral("Remove CIG succeed."), LogLevel::Info);
}

void CCigCisWidget::onStatusRsp(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
}

// ---------------------------------------------------------------------------
// ISO data panels

void CCigCisWidget::readIsoTxSyncProc(const QByteArray &frame)
{
    m_panelArea->relayTxSync(frame);
}

void CCigCisWidget::setupDataPathProc(const QByteArray &frame)
{
    m_panelArea->relaySetupDataPath(frame);
}

void CCigCisWidget::removeDataPathProc(const QByteArray &frame)
{
    m_panelArea->relayRemoveDataPath(frame);
}

void CCigCisWidget::receiveIsoDataProc(const QByteArray &frame)
{
    m_panelArea->relayReceivedData(frame);
}

void CCigCisWidget::showDefaultManageCis()
{
    m_panelArea->showDefault();
    ui->toolButton_disconnect->setEnabled(false);
}

void CCigCisWidget::on_CISTableView_changed(const QModelIndex &index)
{
    ui->toolButton_editCIG->setEnabled(true);
    ui->toolButton_AddCIS->setEnabled(true);
    if (!index.isValid() || index.row() >= m_cigModel.rowCount()) {
        log(QStringLiteral("CCigcisWidget::on_CISTableView_changed:Clicked index is not valid."), LogLevel::Debug);
        return;
    }
    ui->toolButton_removeCIG->setEnabled(m_cigModel.records().at(index.row()).status == 1);
    writeBack();
    showCig(index.row());
}

void CCigCisWidget::on_manageCIS_changed(const QModelIndex &index)
{
    if (!hasCurrentCig() || !index.isValid() || index.row() >= m_cisModel.rowCount())
        return;
    const cisParameter &cis = m_cisModel.records().at(index.row());
    if (cis.cisHandle.isEmpty()) {
        ui->toolButton_editCIS->setEnabled(true);
        ui->toolButton_removeCIS->setEnabled(true);
    } else {
        ui->toolButton_editCIS->setEnabled(false);
        if (cis.status == 1)
            ui->toolButton_removeCIS->setEnabled(false);
    }
    manageCISWidget *panel = cis.status == 1 ? m_panelArea->panel(quint16(cis.cisHandle.toUInt())) : nullptr;
    if (panel) {
        ui->toolButton_disconnect->setEnabled(true);
        m_panelArea->show(panel);
        ui->label_connection->setText(CisTitlePrefix + cis.cisHandle);
    } else {
        ui->toolButton_disconnect->setEnabled(false);
        m_panelArea->showPlaceholder();
    }
}
