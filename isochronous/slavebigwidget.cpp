#include "slavebigwidget.h"

#include "ui_slavebigwidget.h"

#include "bigfields.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "cmsg.h"
#include "isouplink.h"
#include "logger.h"
#include "logmanager.h"
#include "manageciswidget.h"
#include "slavebigparadialog.h"

#include <QHeaderView>

#include <algorithm>

namespace {

void setUpTable(TFlatScrollArea<QTableView> *view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->setTopInset(25);
}

} // namespace

SlaveBIGWidget::SlaveBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                               const QString &dongleName, QWidget *parent)
    : BigBroadcasterPage(parent), ui(new Ui::SlaveBIGWidget),
      m_dispatcher(this, logger,
                   {
                       {"BB@06@07", &SlaveBIGWidget::onStatusRsp},
                       {"DD@06@05", &SlaveBIGWidget::onCreateBigComplete},
                       {"BB@06@08", &SlaveBIGWidget::onStatusRsp},
                       {"DD@06@06", &SlaveBIGWidget::onTerminateBigComplete},
                       {"BB@06@01", &SlaveBIGWidget::onStatusRsp},
                       {"DD@06@01", &SlaveBIGWidget::readIsoTxSyncProc},
                       {"BB@06@0B", &SlaveBIGWidget::onStatusRsp},
                       {"DD@06@09", &SlaveBIGWidget::setupDataPathProc},
                       {"BB@06@0C", &SlaveBIGWidget::onStatusRsp},
                       {"DD@06@0A", &SlaveBIGWidget::removeDataPathProc},
                       {"BB@06@0E", &SlaveBIGWidget::onStatusRsp},
                   }),
      m_link(link), m_logger(logger), m_settings(settings)
{
    ui->setupUi(this);
    paraDialog = new SlaveBIGParaDialog(logger, this);
    // A new BIG never takes the ID of one the page still lists: results find their BIG by it.
    paraDialog->setIdInUse([this](const QString &id) {
        return BigFields::rowOf(m_bigModel.records(), id.toULongLong()) >= 0;
    });
    ui->tableView_BIG->setModel(&m_bigModel);
    ui->tableView_BIS->setModel(&m_bisModel);
    setUpTable(ui->tableView_BIG);
    setUpTable(ui->tableView_BIS);

    m_panels.reset(new BisPanelArea(this, ui->verticalLayout_manageBIS, ui->label_bisName, false, link, logger,
                                    settings, dongleName));

    ui->splitter->setStretchFactor(0, 58);
    ui->splitter->setStretchFactor(1, 42);

    connect(paraDialog, &SlaveBIGParaDialog::sig_bigParaUpdate, this, &SlaveBIGWidget::on_rcvBIGPara);
    connect(ui->tableView_BIG, &QAbstractItemView::pressed, this, &SlaveBIGWidget::on_BIGTableView_changed);
    connect(ui->tableView_BIS, &QAbstractItemView::pressed, this, &SlaveBIGWidget::on_BISTableView_changed);
    if (link)
        connect(link, &CMsg::sig_rcvBIGCIGMsg, this, &SlaveBIGWidget::onRcvMsg);
}

SlaveBIGWidget::~SlaveBIGWidget()
{
    delete ui;
}

bool SlaveBIGWidget::canClose() const
{
    const QVector<slaveBigPara> &bigs = m_bigModel.records();
    return std::none_of(bigs.cbegin(), bigs.cend(), [](const slaveBigPara &big) { return big.status == 1; });
}

void SlaveBIGWidget::log(const QString &text, int level)
{
    if (m_logger)
        m_logger->log(text, level);
}

void SlaveBIGWidget::send(const QString &name, const QMap<QString, QVariant> &fields)
{
    if (!CCommand::sendMsg(m_link, m_logger, name, fields, QMap<QString, QVariant>()))
        CCommand::logSendFailed(m_logger, name);
}

void SlaveBIGWidget::onRcvMsg(QByteArray frame)
{
    m_dispatcher.dispatch(frame);
}

void SlaveBIGWidget::onStatusRsp(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
}

int SlaveBIGWidget::currentBigRow() const
{
    const QModelIndex index = ui->tableView_BIG->currentIndex();
    return index.isValid() && index.row() < m_bigModel.rowCount() ? index.row() : -1;
}

// ---------------------------------------------------------------------------
// BIG rows

void SlaveBIGWidget::on_toolButton_addBIG_clicked()
{
    paraDialog->m_editMode = false;
    paraDialog->exec();
}

void SlaveBIGWidget::on_toolButton_editBIG_clicked()
{
    const int row = currentBigRow();
    // A created BIG keeps the parameters the controller created it with.
    if (row < 0 || m_bigModel.records().at(row).status == 1)
        return;
    paraDialog->m_editMode = true;
    paraDialog->setParameter(m_bigModel.records().at(row));
    paraDialog->exec();
}

void SlaveBIGWidget::on_rcvBIGPara(slaveBigPara para)
{
    if (advIndex.isEmpty()) {
        log(QStringLiteral("Please set slave BIG Widget adv Index before set BIG."), LogLevel::Debug);
        return;
    }
    para.advIndex = advIndex;
    // The edited row is the one of the dialog's ID: rows may have moved while it was open.
    const int row = paraDialog->m_editMode ? BigFields::rowOf(m_bigModel.records(), para.bigId.toULongLong()) : -1;
    if (paraDialog->m_editMode && (row < 0 || m_bigModel.records().at(row).status == 1))
        return;
    QVector<bisParameter> list(int(BigFields::number(para.numBis)));
    for (int i = 0; i < list.size(); ++i)
        list[i].bisId = QString::number(i);
    m_bisModel.setRecords(list);
    m_bisListsByBig.insert(para.bigId, list);
    if (row < 0) {
        m_bigModel.records().append(para);
        m_bigModel.refresh();
        showDefaultIsoPanel();
    } else {
        m_bigModel.records()[row] = para;
        m_bigModel.refresh();
    }
}

void SlaveBIGWidget::on_toolButton_removeBIG_clicked()
{
    const int row = currentBigRow();
    // The controller still holds a created BIG: it leaves by Terminate only.
    if (row < 0 || m_bigModel.records().at(row).status == 1)
        return;
    m_bisListsByBig.remove(m_bigModel.records().at(row).bigId);
    m_bigModel.removeRecord(row);
    m_bisModel.clear();
    showDefaultIsoPanel();
    followRow(m_bigModel.rowCount() > 0 ? 0 : -1);
}

void SlaveBIGWidget::followRow(int row)
{
    if (row >= 0) {
        const QModelIndex index = m_bigModel.index(row, 0);
        ui->tableView_BIG->setCurrentIndex(index);
        on_BIGTableView_changed(index);
        return;
    }
    for (QToolButton *button : {ui->toolButton_editBIG, ui->toolButton_removeBIG, ui->toolButton_createBIG,
                                ui->toolButton_terminateBIG})
        button->setEnabled(false);
    m_bisModel.clear();
    currentBigIndex = QModelIndex();
}

QMap<QString, QVariant> SlaveBIGWidget::createBigFieldMap(const slaveBigPara &record) const
{
    return {
        {QStringLiteral("big_id"), BigFields::number(record.bigId)},
        {QStringLiteral("adv_index"), BigFields::number(record.advIndex)},
        {QStringLiteral("number_bis"), BigFields::number(record.numBis)},
        {QStringLiteral("sdu_interval"), BigFields::number(record.sduInterval)},
        {QStringLiteral("max_sdu"), BigFields::number(record.maxSdu)},
        {QStringLiteral("transport_latency"), BigFields::number(record.transportLatency)},
        {QStringLiteral("rtn"), BigFields::number(record.rtn)},
        {QStringLiteral("phy"), BigFields::number(record.phy)},
        {QStringLiteral("packing"), BigFields::number(record.packing)},
        {QStringLiteral("framing"), BigFields::number(record.framing)},
        {QStringLiteral("encryption"), BigFields::number(record.encryption)},
        {QStringLiteral("broadcastcode"), BigFields::codeField(record.broadcastCode)},
    };
}

void SlaveBIGWidget::on_toolButton_createBIG_clicked()
{
    const int row = currentBigRow();
    if (row < 0 || m_bigModel.records().at(row).status == 1)
        return;
    send(QStringLiteral("Create BIG"), createBigFieldMap(m_bigModel.records().at(row)));
}

void SlaveBIGWidget::on_toolButton_terminateBIG_clicked()
{
    const int row = currentBigRow();
    if (row < 0)
        return;
    send(QStringLiteral("Terminate BIG"),
         {{QStringLiteral("big_id"), BigFields::number(m_bigModel.records().at(row).bigId) & 0xFF}});
}

// ---------------------------------------------------------------------------
// Results

void SlaveBIGWidget::onCreateBigComplete(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseAndLog(m_logger, frame, &fields))
        return;
    const int row = BigFields::rowOf(m_bigModel.records(), IsoUplink::number(fields, QStringLiteral("big_id")));
    if (row < 0) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The returned big ID is wrong in Create BIG command."));
        log(QStringLiteral("BIG ID sended is not equal to the response BIG ID."), LogLevel::Error);
        return;
    }
    const slaveBigPara record = m_bigModel.records().at(row);
    QVector<bisParameter> list = m_bisListsByBig.value(record.bigId);
    // A failed result carries no valid BIS count: its status is what to report.
    if (!IsoUplink::statusSucceeded(m_logger, IsoUplink::name(frame), fields))
        return;
    if (IsoUplink::number(fields, QStringLiteral("number_bis")) != quint64(list.size())) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The returned BIS count is wrong in Create BIG command."));
        log(QStringLiteral("BIS count sended is not equal to the response BIS count."), LogLevel::Error);
        return;
    }
    m_bigModel.records()[row].status = 1;
    m_bigModel.refresh();
    for (quint16 handle : BigFields::assignHandles(&list, fields.value(QStringLiteral("connection_handle")))) {
        if (manageCISWidget *panel = m_panels->add(handle)) {
            panel->disableInterval();
            panel->setParameters(record.maxSdu, record.sduInterval);
        }
    }
    m_bisListsByBig.insert(record.bigId, list);
    // The reset cleared the view's current row; the row last pressed takes it again.
    if (currentBigIndex.isValid() && currentBigIndex.row() < m_bigModel.rowCount())
        followRow(currentBigIndex.row());
}

void SlaveBIGWidget::onTerminateBigComplete(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseAndLog(m_logger, frame, &fields))
        return;
    const int row = BigFields::rowOf(m_bigModel.records(), IsoUplink::number(fields, QStringLiteral("big_id")));
    if (row < 0) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The returned big ID is wrong in Terminate BIG command."));
        return;
    }
    const QString bigId = m_bigModel.records().at(row).bigId;
    for (const bisParameter &bis : m_bisListsByBig.value(bigId)) {
        if (!bis.bisHandle.isEmpty())
            m_panels->discard(quint16(BigFields::number(bis.bisHandle) & 0xFFFF));
    }
    showDefaultIsoPanel();
    m_bisListsByBig.remove(bigId);
    m_bigModel.removeRecord(row);
    m_bisModel.clear();
    followRow(m_bigModel.rowCount() > 0 ? 0 : -1);
    log(QStringLiteral("Terminate BIG succeed."), LogLevel::Info);
}

void SlaveBIGWidget::readIsoTxSyncProc(const QByteArray &frame)
{
    m_panels->relayTxSync(frame);
}

void SlaveBIGWidget::setupDataPathProc(const QByteArray &frame)
{
    m_panels->relaySetupDataPath(frame);
}

void SlaveBIGWidget::removeDataPathProc(const QByteArray &frame)
{
    m_panels->relayRemoveDataPath(frame);
}

// ---------------------------------------------------------------------------
// Rows pressed

void SlaveBIGWidget::on_BIGTableView_changed(const QModelIndex &index)
{
    ui->toolButton_editBIG->setEnabled(true);
    if (!index.isValid() || index.row() >= m_bigModel.rowCount()) {
        log(QStringLiteral("SlaveBIGWidget::on_BIGTableView_changed:Clicked index is not valid."), LogLevel::Debug);
        return;
    }
    const bool defined = m_bigModel.records().at(index.row()).status != 1;
    ui->toolButton_editBIG->setEnabled(defined);
    ui->toolButton_removeBIG->setEnabled(defined);
    ui->toolButton_createBIG->setEnabled(defined);
    ui->toolButton_terminateBIG->setEnabled(!defined);
    const auto list = m_bisListsByBig.constFind(m_bigModel.records().at(index.row()).bigId);
    if (list != m_bisListsByBig.constEnd())
        m_bisModel.setRecords(list.value());
    else
        m_bisModel.clear();
    currentBigIndex = index;
}

void SlaveBIGWidget::on_BISTableView_changed(const QModelIndex &index)
{
    if (currentBigRow() < 0 || !index.isValid() || index.row() >= m_bisModel.rowCount())
        return;
    const QString handle = m_bisModel.records().at(index.row()).bisHandle;
    if (handle.isEmpty())
        showDefaultIsoPanel();
    else
        m_panels->showHandle(handle);
}

void SlaveBIGWidget::showDefaultIsoPanel()
{
    m_panels->showDefault();
}
