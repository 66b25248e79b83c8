#include "masterbigwidget.h"

#include "ui_masterbigwidget.h"

#include "bigfields.h"
#include "bigparameterdialog.h"
#include "bisparameterdialog.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "cmsg.h"
#include "cutil.h"
#include "isouplink.h"
#include "logger.h"
#include "logmanager.h"
#include "manageciswidget.h"

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

MasterBIGWidget::MasterBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                                 const QString &dongleName, QWidget *parent)
    : BigReceiverPage(parent),
      m_dispatcher(this, logger,
                   {
                       {"BB@06@09", &MasterBIGWidget::onStatusRsp},
                       {"DD@06@07", &MasterBIGWidget::onBigCreateSyncComplete},
                       {"BB@06@0A", &MasterBIGWidget::onStatusRsp},
                       {"DD@06@12", &MasterBIGWidget::onBigTerminateSyncComplete},
                       {"BB@06@01", &MasterBIGWidget::onStatusRsp},
                       {"DD@06@01", &MasterBIGWidget::readIsoTxSyncProc},
                       {"BB@06@0B", &MasterBIGWidget::onStatusRsp},
                       {"DD@06@09", &MasterBIGWidget::setupDataPathProc},
                       {"BB@06@0C", &MasterBIGWidget::onStatusRsp},
                       {"DD@06@0A", &MasterBIGWidget::removeDataPathProc},
                       {"BB@06@0E", &MasterBIGWidget::onStatusRsp},
                       {"DD@06@0F", &MasterBIGWidget::receiveIsoDataProc},
                   }),
      ui(new Ui::MasterBIGWidget), m_link(link), m_logger(logger), m_settings(settings)
{
    ui->setupUi(this);
    bigDialog = new bigParameterDialog(logger, this);
    bisDialog = new bisParameterDialog(logger, this);
    // A new BIG never takes the ID of one the page still lists: results find their BIG by it.
    bigDialog->setIdInUse([this](const QString &id) {
        return BigFields::rowOf(m_bigModel.records(), id.toULongLong()) >= 0;
    });
    ui->tableView_BIG->setModel(&m_bigModel);
    ui->tableView_BIS->setModel(&m_bisModel);
    setUpTable(ui->tableView_BIG);
    setUpTable(ui->tableView_BIS);

    m_panels.reset(new BisPanelArea(this, ui->verticalLayout_manageWidget, ui->label_bisName, true, link, logger,
                                    settings, dongleName));

    ui->splitter->setStretchFactor(0, 58);
    ui->splitter->setStretchFactor(1, 42);

    connect(bigDialog, &bigParameterDialog::sig_bigParaUpdate, this, &MasterBIGWidget::on_rcvBIGPara);
    connect(bisDialog, &bisParameterDialog::sig_bisParaUpdate, this, &MasterBIGWidget::on_rcvBISPara);
    connect(ui->tableView_BIG, &QAbstractItemView::pressed, this, &MasterBIGWidget::on_BIGTableView_changed);
    connect(ui->tableView_BIS, &QAbstractItemView::pressed, this, &MasterBIGWidget::on_BISTableView_changed);
    if (link)
        connect(link, &CMsg::sig_rcvBIGCIGMsg, this, &MasterBIGWidget::onRcvMsg);
}

MasterBIGWidget::~MasterBIGWidget()
{
    delete ui;
}

bool MasterBIGWidget::canClose() const
{
    const QVector<bigParameter> &bigs = m_bigModel.records();
    return std::none_of(bigs.cbegin(), bigs.cend(), [](const bigParameter &big) { return big.status == 1; });
}

void MasterBIGWidget::log(const QString &text, int level)
{
    if (m_logger)
        m_logger->log(text, level);
}

void MasterBIGWidget::send(const QString &name, const QMap<QString, QVariant> &fields)
{
    if (!CCommand::sendMsg(m_link, m_logger, name, fields, QMap<QString, QVariant>()))
        CCommand::logSendFailed(m_logger, name);
}

void MasterBIGWidget::onRcvMsg(QByteArray frame)
{
    m_dispatcher.dispatch(frame);
}

void MasterBIGWidget::onStatusRsp(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
}

int MasterBIGWidget::currentBigRow() const
{
    const QModelIndex index = ui->tableView_BIG->currentIndex();
    return index.isValid() && index.row() < m_bigModel.rowCount() ? index.row() : -1;
}

int MasterBIGWidget::currentBisRow() const
{
    const QModelIndex index = ui->tableView_BIS->currentIndex();
    return index.isValid() && index.row() < m_bisModel.rowCount() ? index.row() : -1;
}

// ---------------------------------------------------------------------------
// BIG rows

void MasterBIGWidget::on_toolButton_addBIG_clicked()
{
    bigDialog->m_editMode = false;
    bigDialog->exec();
}

void MasterBIGWidget::on_toolButton_editBIG_clicked()
{
    const int row = currentBigRow();
    // A synchronised BIG keeps the parameters the controller synchronised with.
    if (row < 0 || m_bigModel.records().at(row).status == 1)
        return;
    bigDialog->m_editMode = true;
    bigDialog->setParameter(m_bigModel.records().at(row));
    bigDialog->exec();
}

void MasterBIGWidget::on_rcvBIGPara(bigParameter para)
{
    if (bigDialog->m_editMode) {
        // The edited row is the one of the dialog's ID: rows may have moved while it was open.
        const int row = BigFields::rowOf(m_bigModel.records(), para.bigId.toULongLong());
        if (row < 0 || m_bigModel.records().at(row).status == 1)
            return;
        m_bigModel.records()[row] = para;
        m_bigModel.refresh();
        m_syncList[row].big = para;
        return;
    }
    m_syncList.append({syncHandle, para});
    m_bigModel.records().append(para);
    m_bigModel.refresh();
    m_bisModel.setRecords({});
    showDefaultIsoPanel();
}

void MasterBIGWidget::on_toolButton_removeBIG_clicked()
{
    const int row = currentBigRow();
    // The controller still holds a synchronised BIG: it leaves by Terminate only.
    if (row < 0 || m_bigModel.records().at(row).status == 1)
        return;
    m_bisListsByBig.remove(m_bigModel.records().at(row).bigId);
    m_bigModel.removeRecord(row);
    m_syncList.remove(row);
    m_bisModel.clear();
    showDefaultIsoPanel();
    followRow(m_bigModel.rowCount() > 0 ? 0 : -1);
}

void MasterBIGWidget::followRow(int row)
{
    if (row >= 0) {
        const QModelIndex index = m_bigModel.index(row, 0);
        ui->tableView_BIG->setCurrentIndex(index);
        on_BIGTableView_changed(index);
        return;
    }
    for (QToolButton *button : {ui->toolButton_editBIG, ui->toolButton_removeBIG, ui->toolButton_createBIG,
                                ui->toolButton_terminateBIG, ui->toolButton_addBIS, ui->toolButton_editBIS,
                                ui->toolButton_removeBIS})
        button->setEnabled(false);
    m_bisModel.clear();
    currentBigIndex = QModelIndex();
}

QMap<QString, QVariant> MasterBIGWidget::createSyncFieldMap(const bigParameter &record) const
{
    return {
        {QStringLiteral("big_id"), BigFields::number(record.bigId)},
        {QStringLiteral("big_sync_timeout"), BigFields::number(record.bigSyncTimeout)},
        {QStringLiteral("encryption"), BigFields::number(record.encryption)},
        {QStringLiteral("mse"), BigFields::number(record.mse)},
        {QStringLiteral("broadcastcode"), BigFields::codeField(record.broadcastCode)},
    };
}

QByteArray MasterBIGWidget::bisIndexBytes(const QVector<bisParameter> &list)
{
    QByteArray bytes;
    for (const bisParameter &bis : list)
        bytes += CUtil::valueToArray(0, BigFields::number(bis.bisId) & 0xFF, 1);
    return bytes;
}

void MasterBIGWidget::on_toolButton_createBIG_clicked()
{
    const int row = currentBigRow();
    if (row < 0 || m_bigModel.records().at(row).status == 1)
        return;
    const bigParameter &record = m_bigModel.records().at(row);
    QMap<QString, QVariant> fields = createSyncFieldMap(record);
    fields.insert(QStringLiteral("sync_handle"), uint(m_syncList.at(row).syncHandle));
    const QVector<bisParameter> list = m_bisListsByBig[record.bigId];
    fields.insert(QStringLiteral("num_bis"), uint(list.size()));
    fields.insert(QStringLiteral("bis"), bisIndexBytes(list));
    send(QStringLiteral("BIG Create Sync"), fields);
}

void MasterBIGWidget::on_toolButton_terminateBIG_clicked()
{
    const int row = currentBigRow();
    if (row < 0)
        return;
    send(QStringLiteral("Big Terminate Sync"),
         {{QStringLiteral("big_id"), BigFields::number(m_bigModel.records().at(row).bigId)}});
}

// ---------------------------------------------------------------------------
// BIS rows

void MasterBIGWidget::on_toolButton_addBIS_clicked()
{
    bisDialog->m_editMode = false;
    bisDialog->exec();
}

void MasterBIGWidget::on_toolButton_editBIS_clicked()
{
    const int row = currentBisRow();
    if (row < 0)
        return;
    bisDialog->m_editMode = true;
    bisDialog->setParameter(m_bisModel.records().at(row));
    bisDialog->exec();
}

void MasterBIGWidget::on_rcvBISPara(bisParameter para)
{
    const int bigRow = currentBigRow();
    // The BIG may have been synchronised while the dialog was open: its BIS list is fixed then.
    if (bigRow < 0 || m_bigModel.records().at(bigRow).status == 1)
        return;
    if (bisDialog->m_editMode) {
        const int row = currentBisRow();
        if (row < 0)
            return;
        m_bisModel.records()[row] = para;
        m_bisModel.refresh();
    } else {
        m_bisModel.records().append(para);
        m_bisModel.refresh();
        showDefaultIsoPanel();
    }
    m_bisListsByBig.insert(m_bigModel.records().at(bigRow).bigId, m_bisModel.records());
    ui->toolButton_createBIG->setEnabled(true);
}

void MasterBIGWidget::on_toolButton_removeBIS_clicked()
{
    const int row = currentBisRow();
    if (row < 0 || !m_bisModel.records().at(row).bisHandle.isEmpty())
        return;
    m_bisModel.removeRecord(row);
    const int bigRow = currentBigRow();
    if (bigRow >= 0)
        m_bisListsByBig.insert(m_bigModel.records().at(bigRow).bigId, m_bisModel.records());
}

// ---------------------------------------------------------------------------
// Results

void MasterBIGWidget::onBigCreateSyncComplete(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseAndLog(m_logger, frame, &fields))
        return;
    const int row = BigFields::rowOf(m_bigModel.records(), IsoUplink::number(fields, QStringLiteral("big_id")));
    if (row < 0) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The returned big ID is wrong in BIG Create Sync command."));
        log(QStringLiteral("BIG ID sended is not equal to the response BIG ID."), LogLevel::Error);
        return;
    }
    const QString bigId = m_bigModel.records().at(row).bigId;
    QVector<bisParameter> list = m_bisListsByBig[bigId];
    // A failed result carries no valid BIS count: its status is what to report.
    if (!IsoUplink::statusSucceeded(m_logger, IsoUplink::name(frame), fields))
        return;
    if (IsoUplink::number(fields, QStringLiteral("number_bis")) != quint64(list.size())) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The returned BIS count is wrong in BIG Create Sync command."));
        log(QStringLiteral("BIS count sended is not equal to the response BIS count."), LogLevel::Error);
        return;
    }
    m_bigModel.records()[row].status = 1;
    m_syncList[row].big.status = 1;
    m_bigModel.refresh();
    for (quint16 handle : BigFields::assignHandles(&list, fields.value(QStringLiteral("connection_handle"))))
        m_panels->add(handle);
    m_bisListsByBig.insert(bigId, list);
    // The reset cleared the view's current row; the row last pressed takes it again.
    if (currentBigIndex.isValid() && currentBigIndex.row() < m_bigModel.rowCount())
        followRow(currentBigIndex.row());
}

void MasterBIGWidget::onBigTerminateSyncComplete(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseAndLog(m_logger, frame, &fields))
        return;
    const int row = BigFields::rowOf(m_bigModel.records(), IsoUplink::number(fields, QStringLiteral("big_id")));
    if (row < 0) {
        log(QStringLiteral("The returned big ID is wrong in Big Terminate Sync command."), LogLevel::Error);
        return;
    }
    if (!IsoUplink::statusSucceeded(m_logger, IsoUplink::name(frame), fields))
        return;
    const QString bigId = m_bigModel.records().at(row).bigId;
    for (const bisParameter &bis : m_bisListsByBig.value(bigId)) {
        if (!bis.bisHandle.isEmpty())
            m_panels->discard(quint16(BigFields::number(bis.bisHandle) & 0xFFFF));
    }
    showDefaultIsoPanel();
    m_bisListsByBig.remove(bigId);
    m_bigModel.removeRecord(row);
    m_syncList.remove(row);
    m_bisModel.clear();
    followRow(m_bigModel.rowCount() > 0 ? 0 : -1);
    log(QStringLiteral("BIG Terminate Sync succeed."), LogLevel::Info);
}

void MasterBIGWidget::readIsoTxSyncProc(const QByteArray &frame)
{
    m_panels->relayTxSync(frame);
}

void MasterBIGWidget::setupDataPathProc(const QByteArray &frame)
{
    m_panels->relaySetupDataPath(frame);
}

void MasterBIGWidget::removeDataPathProc(const QByteArray &frame)
{
    m_panels->relayRemoveDataPath(frame);
}

void MasterBIGWidget::receiveIsoDataProc(const QByteArray &frame)
{
    m_panels->relayReceivedData(frame);
}

// ---------------------------------------------------------------------------
// Rows pressed

void MasterBIGWidget::on_BIGTableView_changed(const QModelIndex &index)
{
    ui->toolButton_editBIG->setEnabled(true);
    ui->toolButton_addBIS->setEnabled(true);
    if (!index.isValid() || index.row() >= m_bigModel.rowCount()) {
        log(QStringLiteral("MasterBIGWidget::on_BIGTableView_changed:Clicked index is not valid."), LogLevel::Debug);
        return;
    }
    const bigParameter &big = m_bigModel.records().at(index.row());
    const bool listed = big.status != 1;
    ui->toolButton_editBIG->setEnabled(listed);
    ui->toolButton_removeBIG->setEnabled(listed);
    ui->toolButton_terminateBIG->setEnabled(!listed);
    ui->toolButton_addBIS->setEnabled(listed);
    const auto list = m_bisListsByBig.constFind(big.bigId);
    if (list != m_bisListsByBig.constEnd()) {
        m_bisModel.setRecords(list.value());
        ui->toolButton_createBIG->setEnabled(listed);
    } else {
        m_bisModel.setRecords({});
        ui->toolButton_createBIG->setEnabled(false);
    }
    currentBigIndex = index;
}

void MasterBIGWidget::on_BISTableView_changed(const QModelIndex &index)
{
    if (currentBigRow() < 0 || !index.isValid() || index.row() >= m_bisModel.rowCount())
        return;
    const bisParameter &bis = m_bisModel.records().at(index.row());
    if (bis.bisHandle.isEmpty()) {
        ui->toolButton_editBIS->setEnabled(true);
        ui->toolButton_removeBIS->setEnabled(true);
        showDefaultIsoPanel();
        return;
    }
    ui->toolButton_addBIS->setEnabled(false);
    ui->toolButton_editBIS->setEnabled(false);
    ui->toolButton_removeBIS->setEnabled(false);
    m_panels->showHandle(bis.bisHandle);
}

void MasterBIGWidget::showDefaultIsoPanel()
{
    m_panels->showDefault();
}
