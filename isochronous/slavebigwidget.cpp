#include "slavebigwidget.h"

#include "ui_slavebigwidget.h"

#include "cmsg.h"
#include "manageciswidget.h"
#include "slavebigparadialog.h"

SlaveBIGWidget::SlaveBIGWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                               const QString &dongleName, QWidget *parent)
    : BigPage(link, logger, QStringLiteral(".\\slavebigwidget"), parent), ui(new Ui::SlaveBIGWidget),
      m_dispatcher(this, logger,
                   {
                       {"DD@06@05", &SlaveBIGWidget::onCreateBigComplete},
                       {"DD@06@06", &SlaveBIGWidget::onTerminateBigComplete},
                       {"DD@06@01", &SlaveBIGWidget::readIsoTxSyncProc},
                       {"DD@06@09", &SlaveBIGWidget::setupDataPathProc},
                       {"DD@06@0A", &SlaveBIGWidget::removeDataPathProc},
                   })
{
    ui->setupUi(this);
    paraDialog = new SlaveBIGParaDialog(logger, this);
    // Results find their BIG by its ID.
    paraDialog->setIdInUse([this](const QString &id) { return bigIdInUse(id); });
    setUpTables(ui->tableView_BIG, ui->tableView_BIS, ui->verticalLayout_manageBIS, ui->label_bisName, false,
                settings, dongleName);

    ui->splitter->setStretchFactor(0, 58);
    ui->splitter->setStretchFactor(1, 42);

    connect(paraDialog, &SlaveBIGParaDialog::sig_bigParaUpdate, this, &SlaveBIGWidget::on_rcvBIGPara);
    connect(ui->tableView_BIG, &QAbstractItemView::pressed, this, &SlaveBIGWidget::on_BIGTableView_changed);
    connect(ui->tableView_BIS, &QAbstractItemView::pressed, this, &SlaveBIGWidget::on_BISTableView_changed);
    if (link)
        connect(link, &CMsg::sig_rcvBIGCIGMsg, this, &SlaveBIGWidget::onRcvMsg);
    updateButtons();
}

SlaveBIGWidget::~SlaveBIGWidget()
{
    delete ui;
}

void SlaveBIGWidget::onRcvMsg(QByteArray frame)
{
    m_dispatcher.dispatch(frame);
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
    // A created BIG keeps the parameters the controller created it with.
    const int row = currentListedBigRow();
    if (row < 0)
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
    if (paraDialog->m_editMode && (row < 0 || m_bigModel.records().at(row).status == 1)) {
        CFlatMessage::information(this, QStringLiteral("ERROR"),
                                  QStringLiteral("The BIG was not changed: it has been created or removed meanwhile."));
        return;
    }
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
    // The new or edited BIG is current, with the BIS rows just made.
    followRow(row < 0 ? m_bigModel.rowCount() - 1 : row);
}

void SlaveBIGWidget::on_toolButton_removeBIG_clicked()
{
    removeCurrentBig();
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
    const int row = currentListedBigRow();
    if (row >= 0)
        m_wire.send(QStringLiteral("Create BIG"), createBigFieldMap(m_bigModel.records().at(row)));
}

void SlaveBIGWidget::on_toolButton_terminateBIG_clicked()
{
    const int row = currentBigRow();
    if (row < 0)
        return;
    m_wire.send(QStringLiteral("Terminate BIG"),
                {{QStringLiteral("big_id"), BigFields::number(m_bigModel.records().at(row).bigId) & 0xFF}});
}

// ---------------------------------------------------------------------------
// Results

void SlaveBIGWidget::onCreateBigComplete(const QByteArray &frame)
{
    const QString function = QStringLiteral("SlaveBIGWidget::onCreateBigComplete");
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__, function))
        return;
    const int row = resultRow(fields, QStringLiteral("The returned big ID is wrong in Create BIG command."));
    if (row < 0)
        return;
    if (!IsoUplink::resultSucceeded(m_wire, frame, fields, __LINE__, function))
        return;
    const slaveBigPara record = m_bigModel.records().at(row);
    bool taken = false;
    const QList<manageCISWidget *> panels = takeCreateResult(
        fields, row, QStringLiteral("The returned BIS count is wrong in Create BIG command."), &taken);
    for (manageCISWidget *panel : panels) {
        // Repeats go at the BIG's SDU interval.
        panel->disableInterval();
        panel->setParameters(record.maxSdu, record.sduInterval);
    }
}

void SlaveBIGWidget::onTerminateBigComplete(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!IsoUplink::parseResult(m_wire, frame, &fields, __LINE__,
                                QStringLiteral("SlaveBIGWidget::onTerminateBigComplete")))
        return;
    // "reason" is not examined: the BIG has gone whatever the reason.
    const int row = resultRow(fields, QStringLiteral("The returned big ID is wrong in Terminate BIG command."));
    if (row >= 0)
        endBig(row, QStringLiteral("Terminate BIG succeed."));
}

// ---------------------------------------------------------------------------
// Rows pressed

void SlaveBIGWidget::updateButtons()
{
    const RowState state = currentRowState();
    ui->toolButton_addBIG->setEnabled(true);
    ui->toolButton_editBIG->setEnabled(state == RowState::Listed);
    ui->toolButton_removeBIG->setEnabled(state == RowState::Listed);
    ui->toolButton_createBIG->setEnabled(state == RowState::Listed);
    ui->toolButton_terminateBIG->setEnabled(state == RowState::Held);
}

void SlaveBIGWidget::on_BIGTableView_changed(const QModelIndex &index)
{
    bool defined = false;
    bool hasList = false;
    showBigRow(index, QStringLiteral("SlaveBIGWidget::on_BIGTableView_changed"), &defined, &hasList);
    updateButtons();
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
