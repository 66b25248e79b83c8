#include "advertisingwidget.h"
#include "ui_advertisingwidget.h"

#include "advertisingtypes.h"
#include "caddadvertisingdialog.h"
#include "cadvextendwidget.h"
#include "cadvlegacywidget.h"
#include "cadvperiodicwidget.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "columnfitter.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>

#include <algorithm>

namespace {

const char ROW_ERROR[] = "The row selected from the Device list is wrong.";
const char START_TEXT[] = "Start Advertising";
const char STOP_TEXT[] = "Stop Advertising";
const char START_COMMAND[] = "Legacy Advertising Start";
const char STOP_COMMAND[] = "Advertising Stop";
const char START_ACK[] = "BB@01@27";
const int MaxSets = 5;

// Each kind of set has its own parameter and data commands, so its own acknowledgements.
struct KindAcks
{
    QString parameters;
    QString data;
};

KindAcks acksOf(const QString &advType)
{
    if (advType == AdvertisingTypes::extended())
        return {QStringLiteral("BB@01@2B"), QStringLiteral("BB@01@2D")};
    if (advType == AdvertisingTypes::periodic())
        return {QStringLiteral("BB@01@31"), QStringLiteral("BB@01@33")};
    return {QStringLiteral("BB@01@23"), QStringLiteral("BB@01@25")};
}

// The name of an acknowledgement the start waits for, by its ID.
QString uplinkName(const QString &id)
{
    return PageWire::uplinkNameOfId(id);
}

QString statusName(const char *enumName, int status)
{
    const QString name = CCommand::enumText(enumName, status);
    if (!name.isEmpty())
        return name;
    return QStringLiteral("status 0x") + QString::number(status, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

advertisingWidget::advertisingWidget(CMsg *msg, LogManager *logger, QMap<QString, QVariant> *settings,
                                     QWidget *parent)
    : AdvertisingPage(parent)
    , m_wire(msg, logger, QStringLiteral(".\\advertisingwidget"))
    , m_uplinkHandlers(this, logger)
    , ui(new Ui::advertising)
    , m_msg(msg)
    , m_logger(logger)
    , m_settings(settings)
{
    ui->setupUi(this);
    ui->m_Vsplitter->setStretchFactor(0, 4);
    ui->m_Vsplitter->setStretchFactor(1, 6);

    // A preview belongs to no set: what would be typed into it could never be sent.
    for (const QString &type : AdvertisingTypes::all()) {
        CAdvBaseWidget *preview = makeForm(type);
        preview->setEnabled(false);
        m_typeWidgets.insert(type, preview);
    }
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
    connect(ui->tableView_advList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &advertisingWidget::onCurrentSetChanged);

    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(DefaultStartStepTimeoutMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &advertisingWidget::onStepTimeout);

    m_uplinkHandlers.add({
        {"DD@01@28", &advertisingWidget::advertisingStartProc},
        {"DD@01@2A", &advertisingWidget::advertisingStopProc},
    });
    // The steps of a start take their own acknowledgements; these are the
    // ones that answer no step sent.
    for (const quint8 opcode : {0x23, 0x25, 0x27, 0x2B, 0x2D, 0x31, 0x33})
        m_wire.hearUnanswered(this, 0x01, opcode, [this](const QByteArray &frame) { unexpectedStepProc(frame); });
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

void advertisingWidget::stopStartedSets()
{
    QSet<int> started = m_awaitingStartEvent;
    for (const advListItem &item : m_advListModel->items()) {
        if (item.status == 1)
            started.insert(item.advIndex);
    }
    // Its start command is on its way: the dongle may yet start it.
    if (m_start.advIndex >= 0 && m_start.awaitedAck == QLatin1String(START_ACK))
        started.insert(m_start.advIndex);
    QList<int> indexes = started.values();
    std::sort(indexes.begin(), indexes.end());
    for (const int advIndex : qAsConst(indexes))
        sendIndexCommand(QString::fromLatin1(STOP_COMMAND), advIndex);
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
    ui->btnStartAdv->setIcon(QIcon(advertising ? QStringLiteral(":/icons/stopAdv.png") : QStringLiteral(":/icons/startAdv.png")));
}

void advertisingWidget::on_btnAddAdvList_clicked()
{
    m_addAdvertisingDialog->fillFreeAdvIndexes(m_advListModel->items());
    emit advTypeIndexChanged(m_curAdvType);
    m_addAdvertisingDialog->exec();
    // The dialog previewed its types in the pane; it shows the current set again.
    const QModelIndex current = ui->tableView_advList->currentIndex();
    if (current.isValid())
        onCurrentSetChanged(current);
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
    // A stale form under the same index would otherwise leak and stay shown.
    if (CAdvBaseWidget *old = m_advWidgets.value(uint(advIndex)))
        delete old;
    m_advWidgets.insert(uint(advIndex), form);
    // The new set is the one on screen; the model reset left no current row,
    // which the window would otherwise fill with row 0 when it gets the focus back.
    makeCurrent(m_advListModel->items().size() - 1);
    updateAddButton();
}

void advertisingWidget::onCurrentSetChanged(const QModelIndex &current)
{
    if (current.isValid() && current.row() < m_advListModel->items().size()) {
        const advListItem item = m_advListModel->items().at(current.row());
        m_curAdvType = item.advType;
        if (CAdvBaseWidget *form = m_advWidgets.value(uint(item.advIndex)))
            showAdvWidget(form);
    }
    refreshButtonsForCurrentRow();
}

void advertisingWidget::makeCurrent(int row)
{
    ui->tableView_advList->setCurrentIndex(m_advListModel->index(row, 0));
}

void advertisingWidget::refreshButtonsForCurrentRow()
{
    const int row = ui->tableView_advList->currentIndex().row();
    if (row < 0 || row >= m_advListModel->items().size()) {
        ui->btnStartAdv->setEnabled(false);
        showStartButton(false);
        ui->btnConnAdvBIG->setEnabled(false);
        return;
    }
    const advListItem &item = m_advListModel->items().at(row);
    const bool advertising = item.status == 1;
    // A second start would take the first one's acknowledgements.
    ui->btnStartAdv->setEnabled(advertising || m_start.advIndex < 0);
    showStartButton(advertising);
    ui->btnConnAdvBIG->setEnabled(advertising && item.advType == AdvertisingTypes::periodic());
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

bool advertisingWidget::sendIndexCommand(const QString &command, int advIndex, const PageWire::Answer &answer)
{
    return m_wire.send(command, {{QStringLiteral("advIndex"), CUtil::valueToArray(0, quint64(advIndex), 1)}}, {},
                       answer);
}

void advertisingWidget::on_btnStartAdv_clicked()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const advListItem item = m_advListModel->items().at(row);
    const QByteArray advIndex = CUtil::valueToArray(0, quint64(item.advIndex), 1);
    if (ui->btnStartAdv->text() == QLatin1String(START_TEXT)) {
        if (m_start.advIndex >= 0)
            return;
        CAdvBaseWidget *form = m_advWidgets.value(uint(item.advIndex));
        if (!form) {
            m_wire.internalError(__LINE__, QStringLiteral("advertisingWidget::on_btnStartAdv_clicked"));
            return;
        }
        setFailure(item.advIndex, QString());
        m_awaitingStartEvent.remove(item.advIndex);
        const KindAcks acks = acksOf(item.advType);
        const quint64 serial = m_startSerial + 1;
        QPointer<advertisingWidget> self(this);
        // A refusal box runs the event loop, where a reset may take the set.
        if (!form->setAdvParameter(advIndex, stepAnswer(serial, acks.parameters)) || !self)
            return;
        m_start.advIndex = item.advIndex;
        m_start.serial = ++m_startSerial;
        m_start.dataAck = acks.data;
        awaitStep(acks.parameters);
        refreshButtonsForCurrentRow();
    } else if (ui->btnStartAdv->text() == QLatin1String(STOP_TEXT)) {
        sendIndexCommand(QString::fromLatin1(STOP_COMMAND), item.advIndex);
    }
}

void advertisingWidget::unexpectedStepProc(const QByteArray &frame)
{
    m_wire.acknowledgeLast(frame, PageWire::uplinkName(frame));
    QString line = QStringLiteral("Unexpected acknowledgement: ") + PageWire::uplinkName(frame);
    if (m_start.advIndex >= 0)
        line += QStringLiteral(" (advertising set %1 waits for %2).")
                    .arg(m_start.advIndex)
                    .arg(uplinkName(m_start.awaitedAck));
    else
        line += QStringLiteral(" (no advertising set is being started).");
    m_logger->log(line, LogLevel::Warn);
}

PageWire::Answer advertisingWidget::stepAnswer(quint64 serial, const QString &ackId)
{
    return PageWire::Answer(this,
                            [this, serial, ackId](const QByteArray &frame) { stepAnswered(serial, ackId, frame); });
}

void advertisingWidget::awaitStep(const QString &ackId)
{
    m_start.awaitedAck = ackId;
    m_stepTimer.start();
}

void advertisingWidget::stepAnswered(quint64 serial, const QString &ackId, const QByteArray &frame)
{
    if (serial != m_start.serial || m_start.advIndex < 0) {
        // The start it belongs to is over; the set stays as the user was told.
        if (!frame.isEmpty()) {
            m_wire.acknowledgeLast(frame, PageWire::uplinkName(frame));
            m_logger->log(QStringLiteral("Unexpected acknowledgement: %1 (the advertising start it answers has ended).")
                              .arg(PageWire::uplinkName(frame)),
                          LogLevel::Warn);
        }
        return;
    }
    m_stepTimer.stop();
    if (!PageWire::acknowledgement(frame)) {
        const int advIndex = m_start.advIndex;
        const bool lost = frame.isEmpty();
        if (!lost)
            m_wire.acknowledgeLast(frame, uplinkName(ackId));
        endStart();
        const QString how = lost ? QStringLiteral("lost") : QStringLiteral("unreadable");
        reportStartFailure(advIndex, QStringLiteral("the answer to %1 was %2").arg(uplinkName(ackId), how),
                           QStringLiteral("no answer"));
        return;
    }
    if (ackId == QLatin1String(START_ACK))
        startAckProc(frame);
    else if (ackId == m_start.dataAck)
        dataSetProc(frame);
    else
        paramSetProc(frame);
}

void advertisingWidget::onStepTimeout()
{
    if (m_start.advIndex < 0)
        return;
    const int advIndex = m_start.advIndex;
    const QString step = uplinkName(m_start.awaitedAck);
    endStart();
    const double seconds = m_stepTimer.interval() / 1000.0;
    reportStartFailure(advIndex, QStringLiteral("the dongle did not answer %1 within %2 s").arg(step).arg(seconds),
                       QStringLiteral("no answer"));
}

bool advertisingWidget::stepSucceeded(const QByteArray &frame)
{
    const uchar status = *PageWire::acknowledgement(frame);
    if (status == 0)
        return true;
    const int advIndex = m_start.advIndex;
    const QString step = PageWire::uplinkName(frame);
    endStart();
    reportStartFailure(advIndex, QStringLiteral("the dongle refused ") + step, statusName("SDK_STATUS_RSP", status));
    return false;
}

void advertisingWidget::sendStart(int advIndex)
{
    // Without the command no acknowledgement comes.
    const QString startAck = QString::fromLatin1(START_ACK);
    if (!sendIndexCommand(QString::fromLatin1(START_COMMAND), advIndex, stepAnswer(m_start.serial, startAck))) {
        endStart();
        return;
    }
    awaitStep(startAck);
}

void advertisingWidget::endStart()
{
    m_stepTimer.stop();
    m_start = StartStep();
    refreshButtonsForCurrentRow();
}

void advertisingWidget::reportStartFailure(int advIndex, const QString &reason, const QString &status)
{
    setFailure(advIndex, QStringLiteral("Not started: ") + status);
    CFlatMessage::information(
        this, QStringLiteral("ERROR"),
        QStringLiteral("Advertising set %1 did not start: %2 (%3).").arg(advIndex).arg(reason, status));
}

void advertisingWidget::paramSetProc(const QByteArray &frame)
{
    m_wire.acknowledgeLast(frame, PageWire::uplinkName(frame));
    if (!stepSucceeded(frame))
        return;
    const int advIndex = m_start.advIndex;
    CAdvBaseWidget *form = m_advWidgets.value(uint(advIndex));
    if (!form) {
        endStart();
        m_wire.internalError(__LINE__, QStringLiteral("advertisingWidget::paramSetProc"));
        return;
    }
    auto *legacy = qobject_cast<CAdvLegacyWidget *>(form);
    if (legacy && legacy->isDirectedAdv()) {
        sendStart(advIndex);
        return;
    }
    const quint64 serial = m_start.serial;
    QPointer<advertisingWidget> self(this);
    // The form's refusal box runs the event loop, where a reset may end this start.
    const bool sent =
        form->setAdvData(CUtil::valueToArray(0, quint64(advIndex), 1), stepAnswer(serial, m_start.dataAck));
    if (!self || m_start.serial != serial)
        return;
    if (sent)
        awaitStep(m_start.dataAck);
    else
        endStart();
}

void advertisingWidget::dataSetProc(const QByteArray &frame)
{
    m_wire.acknowledgeLast(frame, PageWire::uplinkName(frame));
    if (!stepSucceeded(frame))
        return;
    sendStart(m_start.advIndex);
}

void advertisingWidget::startAckProc(const QByteArray &frame)
{
    m_wire.acknowledge(frame, PageWire::uplinkName(frame));
    if (!stepSucceeded(frame))
        return;
    m_awaitingStartEvent.insert(m_start.advIndex);
    endStart();
}

void advertisingWidget::setStatus(int advIndex, quint8 status)
{
    QVector<advListItem> &items = m_advListModel->items();
    for (int row = 0; row < items.size(); ++row) {
        if (items.at(row).advIndex != advIndex)
            continue;
        advListItem item = items.at(row);
        item.status = status;
        if (status == 1)
            item.failure.clear();
        m_advListModel->updateItem(row, item);
        refreshButtonsForCurrentRow();
    }
    // A running set's form stays locked so its fields cannot change under it.
    if (CAdvBaseWidget *form = m_advWidgets.value(uint(advIndex)))
        form->setEnabled(status == 0);
}

void advertisingWidget::setFailure(int advIndex, const QString &failure)
{
    QVector<advListItem> &items = m_advListModel->items();
    for (int row = 0; row < items.size(); ++row) {
        if (items.at(row).advIndex != advIndex || items.at(row).failure == failure)
            continue;
        advListItem item = items.at(row);
        item.failure = failure;
        m_advListModel->updateItem(row, item);
    }
}

void advertisingWidget::advertisingStartProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    const PageWire::Result result =
        m_wire.check(frame, __LINE__, QStringLiteral("advertisingWidget::advertisingStartProc"), &fields,
                     PageWire::Form().completeResult());
    const std::optional<uchar> index = PageWire::byteField(fields, QStringLiteral("advIndex"));
    if (result == PageWire::Failed) {
        const QString name = PageWire::uplinkName(frame);
        const uchar status = *PageWire::byteField(fields, QStringLiteral("status"));
        // Told once, for the start the page asked for; any other such event is only logged.
        if (index && m_awaitingStartEvent.remove(*index))
            reportStartFailure(*index, name + QStringLiteral(" failed"), statusName("STATUS_RSP", status));
        return;
    }
    if (result == PageWire::Succeeded && index) {
        m_awaitingStartEvent.remove(*index);
        setStatus(*index, 1);
    }
}

void advertisingWidget::advertisingStopProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    const PageWire::Result result =
        m_wire.check(frame, __LINE__, QStringLiteral("advertisingWidget::advertisingStopProc"), &fields);
    const std::optional<uchar> index = PageWire::byteField(fields, QStringLiteral("advIndex"));
    if (result == PageWire::Succeeded && index)
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
    if (item.advIndex == m_start.advIndex)
        m_start = StartStep();
    m_awaitingStartEvent.remove(item.advIndex);
    if (m_advListModel->removeItem(item) != 0) {
        m_wire.internalError(__LINE__, QStringLiteral("advertisingWidget::on_btnDeleteAdvList_clicked"));
        return;
    }
    CAdvBaseWidget *form = m_advWidgets.take(uint(item.advIndex));
    if (!form) {
        m_wire.internalError(__LINE__, QStringLiteral("advertisingWidget::on_btnDeleteAdvList_clicked"));
        return;
    }
    delete form;
    if (m_advListModel->items().isEmpty())
        resetAdvList();
    else
        makeCurrent(qMin(row, m_advListModel->items().size() - 1));
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
    m_start = StartStep();
    m_awaitingStartEvent.clear();
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
