#include "advertisingwidget.h"
#include "ui_advertisingwidget.h"

#include "advertisingtypes.h"
#include "caddadvertisingdialog.h"
#include "cadvextendwidget.h"
#include "cadvlegacywidget.h"
#include "cadvperiodicwidget.h"
#include "ccfgfileparse.h"
#include "ccommand.h"
#include "columnfitter.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

#include <QHeaderView>

namespace {

const char ROW_ERROR[] = "The row selected from the Device list is wrong.";
const char START_TEXT[] = "Start Advertising";
const char STOP_TEXT[] = "Stop Advertising";
const char START_COMMAND[] = "Legacy Advertising Start";
const char STOP_COMMAND[] = "Advertising Stop";
const int MaxSets = 5;

} // namespace

advertisingWidget::advertisingWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings,
                                     QWidget *parent)
    : AdvertisingPage(parent)
    , m_status(logger, QStringLiteral(".\\advertisingwidget"))
    , m_uplinkHandlers(this, logger)
    , ui(new Ui::advertising)
    , m_msg(msg)
    , m_logger(logger)
    , m_settings(settings)
{
    ui->setupUi(this);
    ui->m_Vsplitter->setStretchFactor(0, 4);
    ui->m_Vsplitter->setStretchFactor(1, 6);
    ui->btnConnAdvBIG->hide();

    for (const QString &type : AdvertisingTypes::all())
        m_typeWidgets.insert(type, makeForm(type));
    showAdvWidget(m_typeWidgets.value(AdvertisingTypes::legacy()));

    m_addAdvertisingDialog = new CAddAdvertisingDialog(logger, this);
    m_advListModel = new AdvListTableTableModel(logger, this);
    ui->tableView_advList->setModel(m_advListModel);
    ui->tableView_advList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView_advList->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableView_advList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ColumnFitter::attach(ui->tableView_advList, {}, ColumnFitter::TitlesAndCells, ColumnFitter::StretchAll);

    m_curAdvType = AdvertisingTypes::legacy();

    connect(m_addAdvertisingDialog, &CAddAdvertisingDialog::addAdvertisingItem, this,
            &advertisingWidget::on_addAdvertisingItem);
    connect(m_addAdvertisingDialog, &CAddAdvertisingDialog::advTypeChanged, this,
            &advertisingWidget::on_adverTypeChanged);
    connect(this, &advertisingWidget::advTypeIndexChanged, m_addAdvertisingDialog,
            &CAddAdvertisingDialog::on_advTableClicked);
    connect(ui->tableView_advList, &QAbstractItemView::pressed, this, &advertisingWidget::on_tableView_advListClicked);

    m_uplinkHandlers.add({
        {"BB@01@23", &advertisingWidget::paramSetProc},
        {"BB@01@25", &advertisingWidget::dataSetProc},
        {"BB@01@27", &advertisingWidget::SDKProc},
        {"DD@01@28", &advertisingWidget::advertisingStartProc},
        {"BB@01@29", &advertisingWidget::SDKProc},
        {"DD@01@2A", &advertisingWidget::advertisingStopProc},
        {"BB@01@2B", &advertisingWidget::paramSetProc},
        {"BB@01@2D", &advertisingWidget::dataSetProc},
        {"BB@01@2F", &advertisingWidget::SDKProc},
        {"BB@01@31", &advertisingWidget::paramSetProc},
        {"BB@01@33", &advertisingWidget::dataSetProc},
        {"BB@01@35", &advertisingWidget::SDKProc},
    });
}

advertisingWidget::~advertisingWidget()
{
    delete ui;
}

CAdvBaseWidget *advertisingWidget::makeForm(const QString &advType)
{
    if (advType == AdvertisingTypes::extended())
        return new CAdvExtendWidget(m_msg, m_logger, m_settings, this);
    if (advType == AdvertisingTypes::periodic())
        return new CAdvPeriodicWidget(m_msg, m_logger, m_settings, this);
    return new CAdvLegacyWidget(m_msg, m_logger, m_settings, this);
}

bool advertisingWidget::isAdvertising() const
{
    for (const advListItem &item : m_advListModel->items()) {
        if (item.status == 1)
            return true;
    }
    return false;
}

QVector<advListItem> &advertisingWidget::advList()
{
    return m_advListModel->items();
}

void advertisingWidget::onRcvMsg(QByteArray rcvMsg)
{
    m_uplinkHandlers.dispatch(rcvMsg);
}

void advertisingWidget::showAdvWidget(CAdvBaseWidget *widget)
{
    for (CAdvBaseWidget *form : qAsConst(m_advWidgets))
        form->hide();
    for (CAdvBaseWidget *form : qAsConst(m_typeWidgets))
        form->hide();
    if (QLayoutItem *item = ui->FrameRight->itemAt(0)) {
        if (QWidget *shown = item->widget()) {
            shown->hide();
            ui->FrameRight->removeWidget(shown);
        }
    }
    // Shown after it joins the pane: joining reparents it, which would hide it again.
    ui->FrameRight->addWidget(widget);
    widget->show();
}

void advertisingWidget::updateAddButton()
{
    ui->btnAddAdvList->setEnabled(m_advListModel->items().size() < MaxSets);
}

void advertisingWidget::showStartButton(bool advertising)
{
    const QString text = QString::fromLatin1(advertising ? STOP_TEXT : START_TEXT);
    ui->btnStartAdv->setText(text);
    ui->btnStartAdv->setToolTip(text);
    ui->btnStartAdv->setIcon(QIcon(advertising ? QStringLiteral(":/icons/stopAdv") : QStringLiteral(":/icons/startAdv")));
}

void advertisingWidget::on_btnAddAdvList_clicked()
{
    m_addAdvertisingDialog->fillFreeAdvIndexes(m_advListModel->items());
    emit advTypeIndexChanged(m_curAdvType);
    m_addAdvertisingDialog->exec();
}

void advertisingWidget::on_adverTypeChanged(QString advType)
{
    if (CAdvBaseWidget *preview = m_typeWidgets.value(advType))
        showAdvWidget(preview);
}

void advertisingWidget::on_addAdvertisingItem(int advIndex, QString advType)
{
    m_curAdvType = advType;
    m_advListModel->addItem(advListItem{advIndex, advType, 0});
    CAdvBaseWidget *form = makeForm(advType);
    showAdvWidget(form);
    // A stale form under the same index would otherwise leak and stay shown.
    if (CAdvBaseWidget *old = m_advWidgets.value(uint(advIndex)))
        delete old;
    m_advWidgets.insert(uint(advIndex), form);
    updateAddButton();
}

void advertisingWidget::on_tableView_advListClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_advListModel->items().size()) {
        m_logger->log(QStringLiteral("The pressed row is not in the advertisement list."), LogLevel::Debug);
        return;
    }
    const advListItem item = m_advListModel->items().at(index.row());
    m_curAdvType = item.advType;
    if (CAdvBaseWidget *form = m_advWidgets.value(uint(item.advIndex)))
        showAdvWidget(form);
    refreshButtonsForCurrentRow();
}

void advertisingWidget::refreshButtonsForCurrentRow()
{
    const int row = ui->tableView_advList->currentIndex().row();
    if (row < 0 || row >= m_advListModel->items().size())
        return;
    const advListItem &item = m_advListModel->items().at(row);
    ui->btnStartAdv->setEnabled(true);
    showStartButton(item.status == 1);
    ui->btnConnAdvBIG->setEnabled(item.status == 1 && item.advType == AdvertisingTypes::periodic());
}

int advertisingWidget::currentRow()
{
    const QModelIndex current = ui->tableView_advList->currentIndex();
    if (!current.isValid() || current.row() >= m_advListModel->items().size()) {
        m_logger->log(QString::fromLatin1(ROW_ERROR), LogLevel::Error);
        return -1;
    }
    return current.row();
}

int advertisingWidget::startingRow()
{
    const QVector<advListItem> &items = m_advListModel->items();
    for (int row = 0; row < items.size(); ++row) {
        if (m_startingIndex >= 0 && items.at(row).advIndex == m_startingIndex)
            return row;
    }
    m_startingIndex = -1;
    m_logger->log(QString::fromLatin1(ROW_ERROR), LogLevel::Error);
    return -1;
}

void advertisingWidget::sendIndexCommand(const QString &command, int advIndex)
{
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("advIndex"), CUtil::valueToArray(0, quint64(advIndex), 1));
    if (!CCommand::sendMsg(m_msg, m_logger, command, fields, QMap<QString, QVariant>()))
        CCommand::logSendFailed(m_logger, command);
}

void advertisingWidget::on_btnStartAdv_clicked()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const advListItem item = m_advListModel->items().at(row);
    const QByteArray advIndex = CUtil::valueToArray(0, quint64(item.advIndex), 1);
    if (ui->btnStartAdv->text() == QLatin1String(START_TEXT)) {
        CAdvBaseWidget *form = m_advWidgets.value(uint(item.advIndex));
        if (!form) {
            m_status.internalError(__LINE__, QStringLiteral("advertisingWidget::on_btnStartAdv_clicked"));
            return;
        }
        m_startingIndex = item.advIndex;
        if (!form->setAdvParameter(advIndex))
            m_startingIndex = -1;
    } else if (ui->btnStartAdv->text() == QLatin1String(STOP_TEXT)) {
        sendIndexCommand(QString::fromLatin1(STOP_COMMAND), item.advIndex);
    }
}

bool advertisingWidget::acknowledgedWithSuccess(const QByteArray &frame)
{
    CCommand::lastSDKProc(m_logger, frame);
    if (UplinkStatus::acknowledgement(frame) == 0)
        return true;
    // A refused step ends the start; the set stays stopped.
    m_startingIndex = -1;
    return false;
}

void advertisingWidget::paramSetProc(const QByteArray &frame)
{
    if (!acknowledgedWithSuccess(frame))
        return;
    const int row = startingRow();
    if (row < 0)
        return;
    const advListItem item = m_advListModel->items().at(row);
    CAdvBaseWidget *form = m_advWidgets.value(uint(item.advIndex));
    if (!form) {
        m_startingIndex = -1;
        m_status.internalError(__LINE__, QStringLiteral("advertisingWidget::paramSetProc"));
        return;
    }
    auto *legacy = qobject_cast<CAdvLegacyWidget *>(form);
    if (legacy && legacy->isDirectedAdv()) {
        m_startingIndex = -1;
        sendIndexCommand(QString::fromLatin1(START_COMMAND), item.advIndex);
        return;
    }
    form->setAdvData(CUtil::valueToArray(0, quint64(item.advIndex), 1));
}

void advertisingWidget::dataSetProc(const QByteArray &frame)
{
    if (!acknowledgedWithSuccess(frame))
        return;
    const int row = startingRow();
    if (row < 0)
        return;
    m_startingIndex = -1;
    sendIndexCommand(QString::fromLatin1(START_COMMAND), m_advListModel->items().at(row).advIndex);
}

void advertisingWidget::SDKProc(const QByteArray &frame)
{
    CCommand::SDKProc(m_logger, frame);
}

void advertisingWidget::setStatus(int advIndex, quint8 status)
{
    QVector<advListItem> &items = m_advListModel->items();
    for (int row = 0; row < items.size(); ++row) {
        if (items.at(row).advIndex != advIndex)
            continue;
        advListItem item = items.at(row);
        item.status = status;
        m_advListModel->updateItem(row, item);
        refreshButtonsForCurrentRow();
    }
    // A running set's form stays locked so its fields cannot change under it.
    if (CAdvBaseWidget *form = m_advWidgets.value(uint(advIndex)))
        form->setEnabled(status == 0);
}

void advertisingWidget::advertisingStartProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    const UplinkStatus::Result result = m_status.check(frame, __LINE__, QStringLiteral("advertisingWidget::advertisingStartProc"),
                                                       &fields, UplinkStatus::KeepFailureQuiet);
    if (result == UplinkStatus::Failed) {
        CCommand::completeResultToLog(m_logger,
                                      CCfgFileParse::instance()->m_uplinkIdToNameMap.value(CCommand::getUpLinkId(frame)),
                                      *UplinkStatus::byteField(fields, QStringLiteral("status")));
        return;
    }
    const std::optional<uchar> index = UplinkStatus::byteField(fields, QStringLiteral("advIndex"));
    if (result == UplinkStatus::Succeeded && index)
        setStatus(*index, 1);
}

void advertisingWidget::advertisingStopProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    const UplinkStatus::Result result =
        m_status.check(frame, __LINE__, QStringLiteral("advertisingWidget::advertisingStopProc"), &fields);
    const std::optional<uchar> index = UplinkStatus::byteField(fields, QStringLiteral("advIndex"));
    if (result == UplinkStatus::Succeeded && index)
        setStatus(*index, 0);
}

void advertisingWidget::on_btnDeleteAdvList_clicked()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const advListItem item = m_advListModel->items().at(row);
    if (item.status == 1) {
        sendIndexCommand(QString::fromLatin1(STOP_COMMAND), item.advIndex);
        showStartButton(false);
    }
    // A later set under the same index is another set: its acknowledgements do not continue this start.
    if (item.advIndex == m_startingIndex)
        m_startingIndex = -1;
    if (m_advListModel->removeItem(item) != 0) {
        m_status.internalError(__LINE__, QStringLiteral("advertisingWidget::on_btnDeleteAdvList_clicked"));
        return;
    }
    CAdvBaseWidget *form = m_advWidgets.take(uint(item.advIndex));
    if (!form) {
        m_status.internalError(__LINE__, QStringLiteral("advertisingWidget::on_btnDeleteAdvList_clicked"));
        return;
    }
    delete form;
    if (m_advListModel->items().isEmpty())
        resetAdvList();
    updateAddButton();
}

void advertisingWidget::on_btnClearAdvList_clicked()
{
    const QVector<advListItem> items = m_advListModel->items();
    for (const advListItem &item : items) {
        if (item.status == 1)
            sendIndexCommand(QString::fromLatin1(STOP_COMMAND), item.advIndex);
    }
    resetAdvList();
}

void advertisingWidget::resetAdvList()
{
    m_advListModel->clearItems();
    ui->btnAddAdvList->setEnabled(true);
    ui->btnStartAdv->setEnabled(false);
    showStartButton(false);
    qDeleteAll(m_advWidgets);
    m_advWidgets.clear();
    m_startingIndex = -1;
    m_curAdvType = AdvertisingTypes::legacy();
    showAdvWidget(m_typeWidgets.value(AdvertisingTypes::legacy()));
}

void advertisingWidget::on_btnConnAdvBIG_clicked()
{
    const QModelIndex current = ui->tableView_advList->currentIndex();
    if (!current.isValid() || current.row() >= m_advListModel->items().size())
        return;
    emit sig_slaveBIGSucceed(uint8_t(m_advListModel->items().at(current.row()).advIndex));
}
