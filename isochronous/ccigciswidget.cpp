#include "ccigciswidget.h"

#include "ui_ccigciswidget.h"

#include "ccommand.h"
#include "cflatmessage.h"
#include "cigparameterdialog.h"
#include "cisparameterdialog.h"
#include "cmsg.h"
#include "columnfitter.h"
#include "createcisdialog.h"
#include "cutil.h"
#include "isopanelarea.h"
#include "isouplink.h"
#include "logger.h"
#include "logmanager.h"
#include "manageciswidget.h"

#include <QHeaderView>

namespace {

const QString CisTitlePrefix = QStringLiteral("CIS Connection Handle: ");

void setUpTable(TFlatScrollArea<QTableView> *view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->setTopInset(25);
    // Stretched to the width, but never below a title or a value.
    ColumnFitter::attach(view, {}, ColumnFitter::TitlesAndCells, ColumnFitter::StretchAll);
}

} // namespace

CCigCisWidget::CCigCisWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                             const QVector<quint8> *aclIndexes, const QString &dongleName, QWidget *parent)
    : CigCisPage(parent),
      m_dispatcher(this, logger,
                   {
                       // Status frames of the panels' commands.
                       {"DD@06@02", &CCigCisWidget::onSetCigResult},
                       {"DD@06@03", &CCigCisWidget::onCreateCisResult},
                       {"DD@06@0B", &CCigCisWidget::onDisconnectCisEvent},
                       {"DD@06@04", &CCigCisWidget::onRemoveCigResult},
                       {"DD@06@01", &CCigCisWidget::readIsoTxSyncProc},
                       {"DD@06@09", &CCigCisWidget::setupDataPathProc},
                       {"DD@06@0A", &CCigCisWidget::removeDataPathProc},
                       {"DD@06@0F", &CCigCisWidget::receiveIsoDataProc},
                   }),
      ui(new Ui::CCigCisWidget), m_aclIndexes(aclIndexes),
      m_wire(link, logger, QStringLiteral(".\\ccigciswidget"))
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
                                       IsoPanelArea::Sides::SendAndReceive, m_wire, link, logger, settings,
                                       dongleName));

    ui->splitter->setStretchFactor(0, 58);
    ui->splitter->setStretchFactor(1, 42);


    connect(m_cigDialog, &cigParameterDialog::sig_cigParaUpdate, this, &CCigCisWidget::on_getCigPara);
    connect(m_cisDialog, &cisParameterDialog::sig_cisParaUpdate, this, &CCigCisWidget::on_getCisPara);
    connect(ui->CIGtableView, &QAbstractItemView::pressed, this, &CCigCisWidget::on_CISTableView_changed);
    connect(ui->CIStableView, &QAbstractItemView::pressed, this, &CCigCisWidget::on_manageCIS_changed);
    // A row reached by the keyboard is current as much as a pressed one.
    connect(ui->CIGtableView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() != m_currentCigRow)
                    on_CISTableView_changed(current);
                else
                    updateButtons();
            });
    connect(ui->CIStableView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    on_manageCIS_changed(current);
                else
                    updateButtons();
            });
    // Every change of rows or statuses rules the buttons again.
    for (QAbstractItemModel *model : {static_cast<QAbstractItemModel *>(&m_cigModel),
                                      static_cast<QAbstractItemModel *>(&m_cisModel)}) {
        connect(model, &QAbstractItemModel::modelReset, this, &CCigCisWidget::updateButtons);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &CCigCisWidget::updateButtons);
        connect(model, &QAbstractItemModel::rowsInserted, this, &CCigCisWidget::updateButtons);
        connect(model, &QAbstractItemModel::dataChanged, this, &CCigCisWidget::updateButtons);
    }
    updateButtons();
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
    m_wire.log(text, level);
}

void CCigCisWidget::showError(const QString &text)
{
    CFlatMessage::notify(this, QStringLiteral("ERROR"), text);
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

bool CCigCisWidget::streamUp(const cisParameter &cis) const
{
    if (cis.cisHandle.isEmpty())
        return false;
    const uint handle = cis.cisHandle.toUInt();
    return handle != PlaceholderHandle && handle <= 0xFFFF && m_panelArea->panel(quint16(handle));
}

bool CCigCisWidget::anyStreamUp(const QVector<cisParameter> &list) const
{
    return std::any_of(list.cbegin(), list.cend(), [this](const cisParameter &cis) { return streamUp(cis); });
}

int CCigCisWidget::rowOfCig(const QString &cigId) const
{
    const QVector<cigParameter> &cigs = m_cigModel.records();
    for (int row = 0; row < cigs.size(); ++row) {
        if (cigs.at(row).cigId.toULongLong() == cigId.toULongLong())
            return row;
    }
    return -1;
}

void CCigCisWidget::updateButtons()
{
    const cigParameter *cig = hasCurrentCig() ? &m_cigModel.records().at(m_currentCigRow) : nullptr;
    const bool cigSet = cig && cig->status == 1;
    const int cisRow = currentCisRow();
    const cisParameter *cis = cisRow >= 0 ? &m_cisModel.records().at(cisRow) : nullptr;
    const bool cisUp = cis && streamUp(*cis);
    ui->toolButton_AddCIG->setEnabled(true);
    // The controller keeps the parameters it accepted.
    ui->toolButton_editCIG->setEnabled(cig && !cigSet);
    ui->toolButton_removeCIG->setEnabled(cigSet);
    ui->toolButton_setCIG->setEnabled(cig && !anyStreamUp(m_cisModel.records()));
    ui->toolButton_AddCIS->setEnabled(cig);
    ui->toolButton_createCIS->setEnabled(cigSet);
    // A CIS with a handle is the controller's: an edit would drop its handle and stream.
    ui->toolButton_editCIS->setEnabled(cig && cis && cis->cisHandle.isEmpty() && !cisUp);
    ui->toolButton_removeCIS->setEnabled(cig && cis && !cisUp);
    ui->toolButton_disconnect->setEnabled(cig && cisUp);
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
    m_editCigId = cig.cigId;
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
    if (row < 0 || !hasCurrentCig())
        return;
    const cisParameter &cis = m_cisModel.records().at(row);
    if (!cis.cisHandle.isEmpty() || streamUp(cis))
        return;
    m_editCisRow = row;
    m_editCisCigId = m_displayedCigId;
    m_cisDialog->m_editMode = true;
    m_cisDialog->setParameter(m_cisModel.records().at(row));
    m_cisDialog->exec();
}

void CCigCisWidget::on_getCigPara(cigParameter record)
{
    if (m_cigDialog->m_editMode) {
        // Results may have set or removed the CIG while the dialog was open.
        const int row = rowOfCig(m_editCigId);
        if (row < 0 || m_cigModel.records().at(row).status == 1) {
            showError(QStringLiteral("The CIG was not changed: it has been set or removed meanwhile."));
            return;
        }
        m_cigModel.records()[row] = record;
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
    if (!hasCurrentCig()) {
        showError(QStringLiteral("The CIS was not kept: no CIG is selected."));
        return;
    }
    if (!m_cisDialog->m_editMode) {
        m_cisModel.records().append(record);
        m_cisModel.refresh();
        showDefaultManageCis();
    } else {
        // The row may have gone or been given a handle while the dialog was open.
        const QVector<cisParameter> &shown = m_cisModel.records();
        if (m_editCisCigId != m_displayedCigId || m_editCisRow < 0 || m_editCisRow >= shown.size()
            || !shown.at(m_editCisRow).cisHandle.isEmpty() || streamUp(shown.at(m_editCisRow))) {
            showError(QStringLiteral("The CIS was not changed: its CIG has been set or changed meanwhile."));
            return;
        }
        const int row = m_editCisRow;
        m_cisModel.records()[row] = record;
        m_cisModel.refresh();
        ui->CIStableView->setCurrentIndex(m_cisModel.index(row, 0));
    }
    writeBack();
}

void CCigCisWidget::on_toolButton_removeCIS_clicked()
{
    const int row = currentCisRow();
    if (row < 0 || !hasCurrentCig() || m_cisModel.records().at(row).status == 1
        || streamUp(m_cisModel.records().at(row)))
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
    m_setCigSentId = cig.cigId;
    m_wire.send(QStringLiteral("CIG Parameter Set"), fields);
}

QString CCigCisWidget::resultCigId(const QMap<QString, QByteArray> &fields, const QString &sentId) const
{
    const QString key = QStringLiteral("cig_id");
    return fields.value(key).isEmpty() ? sentId : QString::number(IsoUplink::number(fields, key));
}

void CCigCisWidget::onSetCigResult(const QByteArray &frame)
{
    const QString function = QStringLiteral("CCigCisWidget::onSetCigResult");
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, function))
        return;
    // The user may have pressed another CIG before the answer: the result names its own.
    const int cigRow = rowOfCig(resultCigId(fields, m_setCigSentId));
    if (cigRow < 0) {
        showError(QStringLiteral("The returned cig ID is wrong in set CIG command."));
        log(QStringLiteral("CIG ID sended is not equal to the response CIG ID."), LogLevel::Error);
        return;
    }
    const cigParameter cig = m_cigModel.records().at(cigRow);
    writeBack();
    QVector<cisParameter> list = m_cisListsByCig.value(cig.cigId);
    const quint64 count = IsoUplink::number(fields, QStringLiteral("cis_count"));
    if (count != quint64(list.size())) {
        showError(QStringLiteral("The returned cis count is wrong in set CIG command."));
        log(QStringLiteral("CIS Count sended is not equal to the response CIS Count."), LogLevel::Error);
        return;
    }
    if (!IsoUplink::resultSucceeded(m_wire, frame, fields, __LINE__, function))
        return;
    // A row reset by a nested dialog may have moved the current row; find the CIG again.
    for (cigParameter &held : m_cigModel.records()) {
        if (held.cigId == cig.cigId)
            held.status = 1;
    }
    m_cigModel.refresh();
    const QVector<quint64> handles = CUtil::littleEndianList(fields.value(QStringLiteral("cis_handle")), 2);
    for (int i = 0; i < list.size() && i < handles.size(); ++i)
        list[i].cisHandle = QString::number(handles.at(i));
    m_cisListsByCig.insert(cig.cigId, list);
    reloadDisplayedCis();
    selectCigRow(m_currentCigRow);
    updateButtons();
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
    const QString function = QStringLiteral("CCigCisWidget::onCreateCisResult");
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, function)
        || !IsoUplink::resultSucceeded(m_wire, frame, fields, __LINE__, function))
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
    m_wire.send(QStringLiteral("Disconnect CIS"),
                {{QStringLiteral("cis_conncet_handle"), m_cisModel.records().at(row).cisHandle.toUInt()}});
}

void CCigCisWidget::onDisconnectCisEvent(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__,
                                QStringLiteral("CCigCisWidget::onDisconnectCisEvent")))
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
    // A stream of another page on this dongle is none of this page's business.
    if (!matched)
        return;
    if (number != PlaceholderHandle && number <= 0xFFFF)
        m_panelArea->discard(quint16(number));
    reloadDisplayedCis();
    log(QStringLiteral("Disconnect CIS succeed."), LogLevel::Info);
}

void CCigCisWidget::on_toolButton_removeCIG_clicked()
{
    if (!hasCurrentCig())
        return;
    writeBack();
    const QString cigId = m_cigModel.records().at(m_currentCigRow).cigId;
    // The streams themselves say whether one is up, not a cell of the table.
    if (anyStreamUp(m_cisListsByCig.value(cigId))) {
        showError(QStringLiteral("Please check you have disconnected CIS Before remove CIG."));
        return;
    }
    m_removeCigSentId = cigId;
    m_wire.send(QStringLiteral("Remove CIG"), {{QStringLiteral("cig_id"), cigId.toUInt()}});
}

void CCigCisWidget::onRemoveCigResult(const QByteArray &frame)
{
    const QString function = QStringLiteral("CCigCisWidget::onRemoveCigResult");
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, function))
        return;
    const int row = rowOfCig(resultCigId(fields, m_removeCigSentId));
    if (row < 0) {
        showError(QStringLiteral("The returned cig ID is wrong in remove CIG command."));
        return;
    }
    if (!IsoUplink::resultSucceeded(m_wire, frame, fields, __LINE__, function))
        return;
    writeBack();
    const QString cigId = m_cigModel.records().at(row).cigId;
    const bool displayed = row == m_currentCigRow;
    m_cisListsByCig.remove(cigId);
    m_cigModel.removeRecord(row);
    if (m_cigModel.rowCount() == 0) {
        m_cigModel.clear();
        m_currentCigRow = -1;
        m_displayedCigId = QString();
        m_cisModel.clear();
    } else if (displayed || m_currentCigRow < 0) {
        showCig(0);
    } else {
        // Another CIG was on display: it stays so.
        if (row < m_currentCigRow)
            --m_currentCigRow;
        selectCigRow(m_currentCigRow);
    }
    updateButtons();
    log(QStringLiteral("Remove CIG succeed."), LogLevel::Info);
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
    updateButtons();
}

void CCigCisWidget::on_CISTableView_changed(const QModelIndex &index)
{
    if (!index.isValid() || index.row() >= m_cigModel.rowCount()) {
        log(QStringLiteral("CCigcisWidget::on_CISTableView_changed:Clicked index is not valid."), LogLevel::Debug);
        return;
    }
    writeBack();
    showCig(index.row());
    updateButtons();
}

void CCigCisWidget::on_manageCIS_changed(const QModelIndex &index)
{
    if (!hasCurrentCig() || !index.isValid() || index.row() >= m_cisModel.rowCount()) {
        updateButtons();
        return;
    }
    const cisParameter &cis = m_cisModel.records().at(index.row());
    manageCISWidget *panel = streamUp(cis) ? m_panelArea->panel(quint16(cis.cisHandle.toUInt())) : nullptr;
    if (panel) {
        m_panelArea->show(panel);
        ui->label_connection->setText(CisTitlePrefix + cis.cisHandle);
    } else {
        m_panelArea->showPlaceholder();
    }
    updateButtons();
}
