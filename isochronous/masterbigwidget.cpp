#include "masterbigwidget.h"

#include "ui_masterbigwidget.h"

#include "bigparameterdialog.h"
#include "bisparameterdialog.h"
#include "cmsg.h"
#include "cutil.h"

MasterBIGWidget::MasterBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                                 const QString &dongleName, QWidget *parent)
    : BigPage(link, logger, QStringLiteral(".\\masterbigwidget"), parent),
      m_dispatcher(this, logger,
                   {
                       {"DD@06@07", &MasterBIGWidget::onBigCreateSyncComplete},
                       {"DD@06@12", &MasterBIGWidget::onBigTerminateSyncComplete},
                       {"DD@06@01", &MasterBIGWidget::readIsoTxSyncProc},
                       {"DD@06@09", &MasterBIGWidget::setupDataPathProc},
                       {"DD@06@0A", &MasterBIGWidget::removeDataPathProc},
                       {"DD@06@0F", &MasterBIGWidget::receiveIsoDataProc},
                   }),
      ui(new Ui::MasterBIGWidget)
{
    ui->setupUi(this);
    bigDialog = new bigParameterDialog(logger, this);
    bisDialog = new bisParameterDialog(logger, this);
    // Results find their BIG by its ID.
    bigDialog->setIdInUse([this](const QString &id) { return bigIdInUse(id); });
    setUpTables(ui->tableView_BIG, ui->tableView_BIS, ui->verticalLayout_manageWidget, ui->label_bisName, true,
                settings, dongleName);

    ui->splitter->setStretchFactor(0, 58);
    ui->splitter->setStretchFactor(1, 42);

    connect(bigDialog, &bigParameterDialog::sig_bigParaUpdate, this, &MasterBIGWidget::on_rcvBIGPara);
    connect(bisDialog, &bisParameterDialog::sig_bisParaUpdate, this, &MasterBIGWidget::on_rcvBISPara);
    connect(ui->tableView_BIG, &QAbstractItemView::pressed, this, &MasterBIGWidget::on_BIGTableView_changed);
    connect(ui->tableView_BIS, &QAbstractItemView::pressed, this, &MasterBIGWidget::on_BISTableView_changed);
    if (link)
        connect(link, &CMsg::sig_rcvBIGCIGMsg, this, &MasterBIGWidget::onRcvMsg);
    updateButtons();
}

MasterBIGWidget::~MasterBIGWidget()
{
    delete ui;
}

void MasterBIGWidget::onRcvMsg(QByteArray frame)
{
    m_dispatcher.dispatch(frame);
}

void MasterBIGWidget::bigRowRemoved(int row)
{
    m_syncList.remove(row);
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
    // A synchronised BIG keeps the parameters the controller synchronised with.
    const int row = currentListedBigRow();
    if (row < 0)
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
        if (row < 0 || m_bigModel.records().at(row).status == 1) {
            CFlatMessage::information(this, QStringLiteral("ERROR"),
                                      QStringLiteral("The BIG was not changed: it has been synchronised or removed "
                                                     "meanwhile."));
            return;
        }
        m_bigModel.records()[row] = para;
        m_bigModel.refresh();
        m_syncList[row].big = para;
        followRow(row);
        return;
    }
    m_syncList.append({syncHandle, para});
    m_bigModel.records().append(para);
    m_bigModel.refresh();
    m_bisModel.setRecords({});
    showDefaultIsoPanel();
    // The new BIG is current, so the BISes added next go under it.
    followRow(m_bigModel.rowCount() - 1);
}

void MasterBIGWidget::on_toolButton_removeBIG_clicked()
{
    removeCurrentBig();
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
    const int row = currentListedBigRow();
    if (row < 0)
        return;
    const bigParameter &record = m_bigModel.records().at(row);
    QMap<QString, QVariant> fields = createSyncFieldMap(record);
    fields.insert(QStringLiteral("sync_handle"), uint(m_syncList.at(row).syncHandle));
    const QVector<bisParameter> list = m_bisListsByBig[record.bigId];
    fields.insert(QStringLiteral("num_bis"), uint(list.size()));
    fields.insert(QStringLiteral("bis"), bisIndexBytes(list));
    m_wire.send(QStringLiteral("BIG Create Sync"), fields);
}

void MasterBIGWidget::on_toolButton_terminateBIG_clicked()
{
    const int row = currentBigRow();
    if (row < 0)
        return;
    m_wire.send(QStringLiteral("Big Terminate Sync"),
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
    // The BIG may have been synchronised while the dialog was open: its BIS list is fixed then.
    const int bigRow = currentListedBigRow();
    const int row = currentBisRow();
    if (bigRow < 0 || (bisDialog->m_editMode && (row < 0 || !m_bisModel.records().at(row).bisHandle.isEmpty()))) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The BIS was not kept: no BIG that takes BISes is selected."));
        return;
    }
    if (bisDialog->m_editMode) {
        m_bisModel.records()[row] = para;
        m_bisModel.refresh();
        selectBisRow(row);
    } else {
        m_bisModel.records().append(para);
        m_bisModel.refresh();
        showDefaultIsoPanel();
    }
    m_bisListsByBig.insert(m_bigModel.records().at(bigRow).bigId, m_bisModel.records());
    updateButtons();
}

void MasterBIGWidget::on_toolButton_removeBIS_clicked()
{
    const int row = currentBisRow();
    if (row < 0 || currentListedBigRow() < 0 || !m_bisModel.records().at(row).bisHandle.isEmpty())
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
    const QString function = QStringLiteral("MasterBIGWidget::onBigCreateSyncComplete");
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, function))
        return;
    const int row = resultRow(fields, QStringLiteral("The returned big ID is wrong in BIG Create Sync command."));
    if (row < 0)
        return;
    if (!IsoUplink::resultSucceeded(m_wire, frame, fields, __LINE__, function))
        return;
    bool taken = false;
    takeCreateResult(fields, row, QStringLiteral("The returned BIS count is wrong in BIG Create Sync command."),
                     &taken);
    if (taken)
        m_syncList[row].big.status = 1;
}

void MasterBIGWidget::onBigTerminateSyncComplete(const QByteArray &frame)
{
    const QString function = QStringLiteral("MasterBIGWidget::onBigTerminateSyncComplete");
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, function))
        return;
    const int row = resultRow(fields, QString());
    if (row < 0) {
        log(QStringLiteral("The returned big ID is wrong in Big Terminate Sync command."), LogLevel::Error);
        return;
    }
    if (!IsoUplink::resultSucceeded(m_wire, frame, fields, __LINE__, function))
        return;
    endBig(row, QStringLiteral("BIG Terminate Sync succeed."));
}

// ---------------------------------------------------------------------------
// Rows pressed

void MasterBIGWidget::updateButtons()
{
    const RowState state = currentRowState();
    const bool listed = state == RowState::Listed;
    const int bigRow = currentBigRow();
    const bool hasList = bigRow >= 0 && m_bisListsByBig.contains(m_bigModel.records().at(bigRow).bigId);
    const int bisRow = currentBisRow();
    // Only BISes without a handle are the user's to change.
    const bool bisOwn = listed && bisRow >= 0 && m_bisModel.records().at(bisRow).bisHandle.isEmpty();
    ui->toolButton_addBIG->setEnabled(true);
    ui->toolButton_editBIG->setEnabled(listed);
    ui->toolButton_removeBIG->setEnabled(listed);
    ui->toolButton_createBIG->setEnabled(listed && hasList);
    ui->toolButton_terminateBIG->setEnabled(state == RowState::Held);
    ui->toolButton_addBIS->setEnabled(listed);
    ui->toolButton_editBIS->setEnabled(bisOwn);
    ui->toolButton_removeBIS->setEnabled(bisOwn);
}

void MasterBIGWidget::on_BIGTableView_changed(const QModelIndex &index)
{
    bool listed = false;
    bool hasList = false;
    showBigRow(index, QStringLiteral("MasterBIGWidget::on_BIGTableView_changed"), &listed, &hasList);
    updateButtons();
}

void MasterBIGWidget::on_BISTableView_changed(const QModelIndex &index)
{
    if (currentBigRow() < 0 || !index.isValid() || index.row() >= m_bisModel.rowCount()) {
        updateButtons();
        return;
    }
    const bisParameter &bis = m_bisModel.records().at(index.row());
    if (bis.bisHandle.isEmpty())
        showDefaultIsoPanel();
    else
        m_panels->showHandle(bis.bisHandle);
    updateButtons();
}
