#include "cl2capwidget.h"
#include "ui_cl2capwidget.h"

#include "ccommand.h"
#include "ccreatecocreqdlg.h"
#include "cmsg.h"
#include "commandnames.h"
#include "connectionrouter.h"
#include "csduwidget.h"
#include "cutil.h"
#include "cstandardmsgdlg.h"
#include "logger.h"
#include "logmanager.h"
#include "sdusender.h"

#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardItemModel>

namespace {

const QString PlaceholderKey = QStringLiteral("-1");
const QString KeyPsm = QStringLiteral("PSM");
const QString KeyMtu = QStringLiteral("MTU");
const QString KeyMps = QStringLiteral("MPS");
const QString KeyInitial = QStringLiteral("Initial Credits");
const QString KeyConsumed = QStringLiteral("Consumed Credits");
const QString KeyRemaining = QStringLiteral("Remaining Credits");
const int LocalRow = 1;
const int RemoteRow = 2;
const int ConsumedRow = 3;
const int RemainingRow = 4;
const int FirstColumnWidth = 300;

QString channelTitle(const QString &key)
{
    return QStringLiteral("Channel [ID:%1]").arg(key);
}

QList<QStandardItem *> row(const QString &name, const QString &value)
{
    auto *nameItem = new QStandardItem(name);
    auto *valueItem = new QStandardItem(value);
    nameItem->setEditable(false);
    valueItem->setEditable(false);
    return {nameItem, valueItem};
}

} // namespace

CL2capWidget::CL2capWidget(CMsg *link, LogManager *logger, const QString *dongleName, quint8 condix,
                           QWidget *parent)
    : QWidget(parent)
    , m_handlers(this, logger,
                 {{"DD@04@02", &CL2capWidget::creatingCOCProc},
                  {"DD@04@04", &CL2capWidget::sendingSDUProc},
                  {"DD@04@06", &CL2capWidget::receivedCreatingCOCRequestProc},
                  {"DD@04@0A", &CL2capWidget::receivedSDUProc},
                  {"DD@04@0C", &CL2capWidget::localCreditsManagementProc},
                  {"DD@04@15", &CL2capWidget::RemoteCreditsManagementProc},
                  {"DD@04@14", &CL2capWidget::l2CAPCOCDisconnectProc}})
    , m_wire(link, logger, QStringLiteral(".\\cl2capwidget"), condix)
    , ui(new Ui::CL2capWidget)
    , m_link(link)
    , m_logger(logger)
    , m_condix(condix)
    , m_requestTimeoutMs(CCreateCOCReqDlg::DefaultTimeoutMs)
{
    m_wire.setDongleName(dongleName);
    ui->setupUi(this);

    auto *empty = new QStandardItemModel(ui->treeView);
    m_models.insert(PlaceholderKey, empty);
    ui->treeView->setModel(empty);

    auto *placeholder = new CSduWidget(m_link, m_logger, dongleName, this);
    placeholder->setPageWire(m_wire);
    m_sduWidgets.insert(PlaceholderKey, placeholder);
    ui->verticalLayoutSdu->addWidget(placeholder);
    placeholder->show();
    placeholder->setEnabled(false);
    // The channel page scrolls up and down only, so it keeps its own width in the split.
    placeholder->ensurePolished();
    ui->scrollAreaSdu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui->scrollAreaSdu->setMinimumWidth(placeholder->minimumSizeHint().width()
                                       + ui->scrollAreaSdu->verticalScrollBar()->sizeHint().width());

    m_fields.insert(QStringLiteral("condix"), int(m_condix));
    if (m_link)
        ConnectionRouter::of(m_link)->subscribe(&CMsg::sig_rcvL2capMsg, m_condix, this, &CL2capWidget::onRcvMsg);

}

CL2capWidget::~CL2capWidget()
{
    delete ui;
}

QString CL2capWidget::function(const char *handler)
{
    return QStringLiteral("CL2capWidget::") + QLatin1String(handler);
}

CSduWidget *CL2capWidget::shownSduWidget() const
{
    for (int i = 0; i < ui->verticalLayoutSdu->count(); ++i) {
        if (auto *page = qobject_cast<CSduWidget *>(ui->verticalLayoutSdu->itemAt(i)->widget()))
            return page;
    }
    return nullptr;
}

QString CL2capWidget::keyOfText(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    return digits.match(text).captured(0);
}

bool CL2capWidget::isCidInUse(const QString &key) const
{
    return m_channels.contains(key) || m_pendingChannels.contains(key);
}

// --- dispatch and statuses ---

void CL2capWidget::onRcvMsg(QByteArray frame)
{
    m_handlers.dispatch(frame);
}

bool CL2capWidget::takeStatus(const QString &key, const QByteArray &frame)
{
    const uchar status = m_wire.acknowledge(frame, QStringLiteral("a command of channel %1").arg(key)).value_or(0);
    if (status == 0)
        return false;
    log(QStringLiteral("Connection %1: the dongle refused %2 of channel %3 (%4).")
            .arg(m_condix)
            .arg(PageWire::uplinkName(frame), key, PageWire::statusText("SDK_STATUS_RSP", status)),
        LogLevel::Error);
    return true;
}

void CL2capWidget::freePendingChannel(const QString &key)
{
    if (m_channels.contains(key) || !m_pendingChannels.remove(key))
        return;
    log(QStringLiteral("Channel %1 was not created; local CID %1 is free again.").arg(key), LogLevel::Info);
}

void CL2capWidget::creatingCOCAckProc(const QString &key, const QByteArray &frame)
{
    // Refused: no creation result will come for it.
    if (takeStatus(key, frame))
        freePendingChannel(key);
}

void CL2capWidget::cocDisconnectAckProc(const QString &key, const QByteArray &frame)
{
    takeStatus(key, frame);
}

void CL2capWidget::on_sendCredit(QString key, QString credits)
{
    m_creditsSent.insert(key, credits);
}

// --- user commands ---

void CL2capWidget::on_toolButtonAdd_clicked()
{
    auto *dialog = new CStandardMsgDlg(m_logger, QStringLiteral("Create COC"), QString::fromLatin1(CMD_CREATE_COC),
                                       this);
    dialog->setMinimumHeight(300);
    dialog->setFieldValueMap(m_fields);
    dialog->buildForm();
    connect(dialog, &CStandardMsgDlg::sig_standardOKClicked, this, &CL2capWidget::on_addCocMsgSend);
    dialog->exec();
}

void CL2capWidget::on_addCocMsgSend()
{
    auto *dialog = qobject_cast<CStandardMsgDlg *>(sender());
    if (!dialog)
        return;
    const QMap<QString, QVariant> values = dialog->getFieldValues();
    QMap<QString, QString> decimal;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        decimal.insert(it.key(), QString::number(it.value().toString().toULongLong(nullptr, 16)));
    const QString key = decimal.value(QStringLiteral("local_cid"));
    if (isCidInUse(key)) {
        log(QStringLiteral("Local CID %1 is already in use on this connection; Create COC is not sent.").arg(key),
            LogLevel::Error);
        return;
    }

    if (!m_wire.send(QLatin1String(CMD_CREATE_COC), values, m_fields,
                     PageWire::Answer(this, [this, key](const QByteArray &frame) { creatingCOCAckProc(key, frame); })))
        return;
    addChannel(decimal, key, 0);
    addChannel(decimal, key, 1);
}

void CL2capWidget::on_toolButtonRemove_clicked()
{
    QListWidgetItem *item = ui->listWidget->currentItem();
    if (!item) {
        log(QStringLiteral("The row selected is wrong."), LogLevel::Error);
        return;
    }
    const QString key = keyOfText(item->text());
    const quint16 cid = quint16(key.toUInt());
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("local_cid"), int(cid));
    m_wire.send(QLatin1String(CMD_DISCONNECT_COC), fields, m_fields,
                PageWire::Answer(this, [this, key](const QByteArray &frame) { cocDisconnectAckProc(key, frame); }));
}

void CL2capWidget::addChannel(const QMap<QString, QString> &values, const QString &key, int mode)
{
    if (!m_pendingChannels.contains(key)) {
        ChannelInfo info;
        info.psmKeys = {KeyPsm};
        info.localKeys = {KeyMtu, KeyMps, KeyInitial, KeyConsumed, KeyRemaining};
        info.remoteKeys = info.localKeys;
        m_pendingChannels.insert(key, info);
    }
    ChannelInfo &info = m_pendingChannels[key];
    auto fillGroup = [&values](QMap<QString, QString> &group, const QString &mtuKey, const QString &mpsKey,
                               const QString &creditsKey) {
        const QString mtu = values.value(mtuKey);
        const QString mps = values.value(mpsKey);
        group.insert(KeyMtu, mtu);
        group.insert(KeyMps, mps);
        const quint32 initial = CreditReturn::initialCredits(values.value(creditsKey).toUInt(), mtu.toUInt(),
                                                             mps.toUInt());
        group.insert(KeyInitial, QString::number(initial));
        group.insert(KeyConsumed, QStringLiteral("0"));
        group.insert(KeyRemaining, QString::number(initial));
    };
    switch (mode) {
    case 0:
        info.psmValues.insert(KeyPsm, values.value(QStringLiteral("peer_psm")));
        break;
    case 1:
        fillGroup(info.localValues, QStringLiteral("mtu"), QStringLiteral("mps"), QStringLiteral("local_credits"));
        break;
    case 2:
        fillGroup(info.remoteValues, QStringLiteral("peer_mtu"), QStringLiteral("peer_mps"),
                  QStringLiteral("peer_credits"));
        break;
    default:
        break;
    }
}

// --- list, tree and SDU area ---

void CL2capWidget::on_listWidget_currentRowChanged(int row)
{
    showSduWidget(QString(), row);
    QListWidgetItem *item = ui->listWidget->item(row < 0 ? 0 : row);
    m_currentCid = item ? keyOfText(item->text()) : QString();
    if (row >= 0 && m_models.contains(m_currentCid)) {
        updateCreditTree(m_currentCid);
        ui->treeView->setModel(m_models.value(m_currentCid));
    } else {
        ui->treeView->setModel(m_models.value(PlaceholderKey));
    }
    ui->treeView->setColumnWidth(0, FirstColumnWidth);
    ui->treeView->expandAll();
}

void CL2capWidget::showSduWidget(const QString &key, int row)
{
    if (QWidget *current = shownSduWidget()) {
        ui->verticalLayoutSdu->removeWidget(current);
        current->hide();
    }
    CSduWidget *page = nullptr;
    if (ui->listWidget->count() == 0) {
        page = m_sduWidgets.value(PlaceholderKey);
        page->setEnabled(false);
    } else if (row == -1 && !key.isEmpty()) {
        page = m_sduWidgets.value(key);
    } else {
        QListWidgetItem *item = ui->listWidget->item(row < 0 ? 0 : row);
        page = item ? m_sduWidgets.value(keyOfText(item->text())) : nullptr;
    }
    if (!page)
        page = m_sduWidgets.value(PlaceholderKey);
    ui->verticalLayoutSdu->addWidget(page);
    page->show();
}

void CL2capWidget::showModel(const QString &key)
{
    ui->treeView->setModel(m_models.value(key, m_models.value(PlaceholderKey)));
    ui->treeView->setColumnWidth(0, FirstColumnWidth);
    ui->treeView->expandAll();
}

void CL2capWidget::buildDetailTree(const QString &key)
{
    QStandardItemModel *model = m_models.value(key);
    if (!model)
        return;
    model->clear();
    model->setHorizontalHeaderLabels({channelTitle(key) + QStringLiteral(" Details:"), QString()});
    const ChannelInfo info = m_channels.value(key);
    for (const QString &name : info.psmKeys)
        model->appendRow(row(name, info.psmValues.value(name)));
    auto appendGroup = [model](const QString &title, const QVector<QString> &keys,
                               const QMap<QString, QString> &values) {
        QList<QStandardItem *> group = row(title, QString());
        for (const QString &name : keys)
            group.first()->appendRow(row(name, values.value(name)));
        model->appendRow(group);
    };
    appendGroup(QStringLiteral("Local Setting"), info.localKeys, info.localValues);
    appendGroup(QStringLiteral("Remote Setting"), info.remoteKeys, info.remoteValues);
    showModel(key);
}

void CL2capWidget::updateCreditTree(const QString &key)
{
    QStandardItemModel *model = m_models.value(key);
    if (!model)
        return;
    model->setHorizontalHeaderLabels({channelTitle(key) + QStringLiteral(" Details:"), QString()});
    const ChannelInfo info = m_channels.value(key);
    auto updateGroup = [this, model](int groupRow, const QMap<QString, QString> &values) {
        QStandardItem *group = model->item(groupRow);
        if (!group || group->rowCount() == 0) {
            log(QStringLiteral("The credit tree is wrong."), LogLevel::Error);
            return false;
        }
        QStandardItem *consumed = group->child(ConsumedRow, 1);
        if (!consumed) {
            log(QStringLiteral("The credit tree in consumed credit is wrong."), LogLevel::Error);
            return false;
        }
        consumed->setText(values.value(KeyConsumed));
        QStandardItem *remaining = group->child(RemainingRow, 1);
        if (!remaining) {
            log(QStringLiteral("The credit tree in remained credit is wrong."), LogLevel::Error);
            return false;
        }
        remaining->setText(values.value(KeyRemaining));
        return true;
    };
    if (!updateGroup(LocalRow, info.localValues) || !updateGroup(RemoteRow, info.remoteValues))
        return;
    log(QStringLiteral("local channel ") + key + QStringLiteral(" consumed credit ")
            + info.localValues.value(KeyConsumed) + QStringLiteral(" remain credit ")
            + info.localValues.value(KeyRemaining),
        LogLevel::Debug);
    log(QStringLiteral("remote channel ") + key + QStringLiteral(" consumed credit ")
            + info.remoteValues.value(KeyConsumed) + QStringLiteral(" remain credit ")
            + info.remoteValues.value(KeyRemaining),
        LogLevel::Debug);
}

void CL2capWidget::refreshCreditTreeIfCurrent(const QString &key)
{
    if (key == m_currentCid)
        updateCreditTree(key);
}

void CL2capWidget::wireSduWidget(CSduWidget *page)
{
    connect(this, &CL2capWidget::readySendSDU, page, &CSduWidget::on_readySendSDU);
    connect(this, &CL2capWidget::receiveSDU, page, &CSduWidget::on_receiveSDU);
    connect(page, &CSduWidget::sig_sendCredit, this, &CL2capWidget::on_sendCredit);
    connect(this, &CL2capWidget::consumedCreditChanged, page, &CSduWidget::on_consumedCreditChanged);
    connect(this, &CL2capWidget::remoteCreditChanged, page, &CSduWidget::on_remoteCreditChanged);
    connect(this, &CL2capWidget::sig_creditErrorStop, page, &CSduWidget::on_creditErrorCheck);
    connect(this, &CL2capWidget::sig_buttonInit, page, &CSduWidget::on_buttonInit);
}

// --- results and events ---

bool CL2capWidget::takeFrame(const QByteArray &frame, const char *handler, PageWire::Fields &fields)
{
    return m_wire.check(frame, __LINE__, function(handler), &fields, PageWire::Form().noStatus())
        == PageWire::Succeeded;
}

QString CL2capWidget::openKeyOf(const QMap<QString, QByteArray> &fields, const char *handler)
{
    const QString key = QString::number(CUtil::littleEndian(fields.value(QStringLiteral("local_cid"))));
    if (m_channels.contains(key))
        return key;
    log(QStringLiteral("CL2capWidget::%1: channel %2 is not open on this connection; the frame is ignored.")
            .arg(QLatin1String(handler), key),
        LogLevel::Error);
    return QString();
}

void CL2capWidget::creatingCOCProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "creatingCOCProc", fields))
        return;
    const QMap<QString, QString> values = CCommand::fieldsToDecimal(fields);
    const QString key = values.value(QStringLiteral("local_cid"));
    if (m_wire.checkStatus(frame, fields, QStringLiteral("op_status"), __LINE__, function("creatingCOCProc"))
            != PageWire::Succeeded
        || m_wire.checkStatus(frame, fields, QStringLiteral("status"), __LINE__, function("creatingCOCProc"))
            != PageWire::Succeeded) {
        freePendingChannel(key);
        return;
    }
    if (m_channels.contains(key)) {
        log(QStringLiteral("Channel %1 is already open; its creation result is ignored.").arg(key), LogLevel::Error);
        return;
    }
    if (!m_pendingChannels.contains(key)) {
        log(QStringLiteral("Channel %1 was neither requested nor accepted; its creation result is ignored.").arg(key),
            LogLevel::Error);
        return;
    }
    const quint32 peerMtu = values.value(QStringLiteral("peer_mtu")).toUInt();
    const quint32 peerMps = values.value(QStringLiteral("peer_mps")).toUInt();
    if (peerMtu == 0 || peerMps == 0)
        log(QStringLiteral("Channel %1: the peer's MTU %2 or MPS %3 is 0; no SDU can be sent on it.")
                .arg(key)
                .arg(peerMtu)
                .arg(peerMps),
            LogLevel::Error);
    else if (peerMtu > quint32(SduSender::MaxSduLength))
        log(QStringLiteral("Channel %1: the peer's MTU %2 is more than a frame holds; SDUs are cut at %3 bytes.")
                .arg(key)
                .arg(peerMtu)
                .arg(SduSender::MaxSduLength),
            LogLevel::Error);

    addChannel(values, key, 0);
    addChannel(values, key, 2);
    const ChannelInfo info = m_pendingChannels.value(key);
    m_channels.insert(key, info);
    m_models.insert(key, new QStandardItemModel(ui->treeView));

    auto *page = new CSduWidget(m_link, m_logger, nullptr, this);
    page->setPageWire(m_wire);
    page->hide();
    page->createReceiveFile(m_condix, key, quint16(qMin<quint32>(peerMtu, 0xFFFF)));
    page->initChannel(info.localValues.value(KeyMtu).toUInt(), info.localValues.value(KeyMps).toUInt(),
                      info.localValues.value(KeyInitial).toUInt());
    wireSduWidget(page);
    m_sduWidgets.insert(key, page);
    m_pendingChannels.remove(key);

    ui->listWidget->addItem(channelTitle(key));
    showSduWidget(key, -1);
    buildDetailTree(key);
    const int last = ui->listWidget->count() - 1;
    {
        // The selection slot runs once, below, as the handler asks for it.
        const QSignalBlocker blocker(ui->listWidget);
        ui->listWidget->setCurrentRow(last);
    }
    on_listWidget_currentRowChanged(last);
}

void CL2capWidget::receivedCreatingCOCRequestProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "receivedCreatingCOCRequestProc", fields))
        return;
    QMap<QString, QString> values = CCommand::fieldsToDecimal(fields);
    // A peer may open several channels back to back: each is asked in turn.
    if (!m_channelRequests.admit(values.value(QStringLiteral("peer_cid")), values, m_link, m_logger, [&] {
            CCreateCOCReqDlg::sendRefusal(m_wire, quint16(values.value(QStringLiteral("peer_cid")).toUInt()),
                                          quint8(values.value(QStringLiteral("condix")).toUInt()));
        }))
        return;
    QPointer<CL2capWidget> self(this);
    QString peerCid;
    while (m_channelRequests.next(&peerCid, &values)) {
        askChannelRequest(values);
        // The connection may have ended, and this page gone, while the dialog ran.
        if (!self || m_wire.connectionEnded())
            return;
    }
}

void CL2capWidget::askChannelRequest(QMap<QString, QString> values)
{
    const QString dongleName = m_wire.dongleName();
    emit sig_showDongleTab(dongleName);
    auto *dialog = new CCreateCOCReqDlg(m_link, m_logger, dongleName, values, values.value(QStringLiteral("condix")),
                                        this, m_requestTimeoutMs);
    dialog->setPageWire(m_wire);
    m_channelRequests.asking(dialog);
    // A local CID this page already uses is refused before anything is sent.
    QPointer<CL2capWidget> self(this);
    dialog->setCidInUse([self](const QString &key) { return self && self->isCidInUse(key); });
    connect(dialog, &CCreateCOCReqDlg::receiveCOCRequest, this, &CL2capWidget::on_receiveCOCRequest);
    dialog->exec();
}

void CL2capWidget::endConnection()
{
    m_wire.endConnection();
    const int dropped = m_channelRequests.clear();
    if (dropped > 0)
        log(QStringLiteral("Connection %1 has ended: %2 waiting channel request(s) dropped.")
                .arg(m_condix)
                .arg(dropped),
            LogLevel::Info);
}

void CL2capWidget::on_receiveCOCRequest(QString key, ChannelInfo &info, QMap<QString, QString> values)
{
    m_pendingChannels.insert(key, info);
    addChannel(values, key, 0);
    addChannel(values, key, 1);
}

void CL2capWidget::sendingSDUProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "sendingSDUProc", fields))
        return;
    const PageWire::Result status =
        m_wire.checkStatus(frame, fields, QStringLiteral("status"), __LINE__, function("sendingSDUProc"));
    if (status == PageWire::Malformed)
        return;
    const QString key = openKeyOf(fields, "sendingSDUProc");
    if (key.isEmpty())
        return;
    if (status == PageWire::Failed) {
        if (PageWire::byteField(fields, QStringLiteral("status")) == CreditErrorStatus)
            emit sig_creditErrorStop(key);
        else
            emit sig_buttonInit(key);
        return;
    }
    const qint64 used = qint64(CUtil::littleEndian(fields.value(QStringLiteral("credits"))));
    ChannelInfo info = m_channels.value(key);
    const qint64 consumed = info.remoteValues.value(KeyConsumed).toLongLong() + used;
    const qint64 remaining = info.remoteValues.value(KeyRemaining).toLongLong() - used;
    if (remaining < 0) {
        log(QStringLiteral("The remote dongle remain credit is ") + QString::number(remaining)
                + QStringLiteral(" last consumed is ") + QString::number(used),
            LogLevel::Error);
        return;
    }
    info.remoteValues.insert(KeyConsumed, QString::number(consumed));
    info.remoteValues.insert(KeyRemaining, QString::number(remaining));
    m_channels.insert(key, info);
    refreshCreditTreeIfCurrent(key);
    emit readySendSDU(key);
}

void CL2capWidget::receivedSDUProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "receivedSDUProc", fields))
        return;
    const QString key = openKeyOf(fields, "receivedSDUProc");
    if (key.isEmpty())
        return;
    const qint64 used = qint64(CUtil::littleEndian(fields.value(QStringLiteral("credits"))));
    ChannelInfo info = m_channels.value(key);
    const QString consumed = QString::number(info.localValues.value(KeyConsumed).toLongLong() + used);
    const QString remaining = QString::number(info.localValues.value(KeyRemaining).toLongLong() - used);
    info.localValues.insert(KeyConsumed, consumed);
    info.localValues.insert(KeyRemaining, remaining);
    m_channels.insert(key, info);

    QMap<QString, QString> values = CCommand::fieldsToDecimal(fields);
    values.remove(QStringLiteral("data"));
    emit receiveSDU(key, remaining, consumed, fields.value(QStringLiteral("data")), values);
    log(key + QStringLiteral(" receive sdu proc consumed credits ") + consumed + QStringLiteral(" remain credits ")
            + remaining,
        LogLevel::Debug);
    refreshCreditTreeIfCurrent(key);
}

void CL2capWidget::localCreditsManagementProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "localCreditsManagementProc", fields))
        return;
    const PageWire::Result status =
        m_wire.checkStatus(frame, fields, QStringLiteral("status"), __LINE__, function("localCreditsManagementProc"));
    if (status == PageWire::Malformed)
        return;
    const QString key = openKeyOf(fields, "localCreditsManagementProc");
    if (key.isEmpty())
        return;
    ChannelInfo info = m_channels.value(key);
    const qint64 consumed = info.localValues.value(KeyConsumed).toLongLong();
    if (status == PageWire::Failed) {
        // The page waits for this result before it returns credits again.
        emit consumedCreditChanged(key, uint(qMax<qint64>(0, consumed)));
        return;
    }
    const qint64 returned = m_creditsSent.value(key).toUInt();
    const qint64 initial = info.localValues.value(KeyInitial).toLongLong();
    const qint64 remaining = info.localValues.value(KeyRemaining).toLongLong();
    const qint64 newConsumed = qMax<qint64>(0, consumed - returned);
    const qint64 newRemaining = qMin(remaining + returned, initial);
    log(key + QStringLiteral(" consumed credits is ") + QString::number(consumed) + QStringLiteral(" release credits ")
            + QString::number(returned),
        LogLevel::Debug);
    log(key + QStringLiteral(" remain credits ") + QString::number(remaining), LogLevel::Debug);
    log(key + QStringLiteral(" send credits,release credits ") + QString::number(returned)
            + QStringLiteral("remain credits  ") + QString::number(newRemaining),
        LogLevel::Debug);
    info.localValues.insert(KeyConsumed, QString::number(newConsumed));
    info.localValues.insert(KeyRemaining, QString::number(newRemaining));
    m_channels.insert(key, info);
    log(key + QStringLiteral(" local credits manage consumed credits ") + QString::number(newConsumed)
            + QStringLiteral(" remain credits ") + QString::number(newRemaining),
        LogLevel::Debug);
    refreshCreditTreeIfCurrent(key);
    emit consumedCreditChanged(key, uint(newConsumed));
}

void CL2capWidget::RemoteCreditsManagementProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "RemoteCreditsManagementProc", fields))
        return;
    const QString key = openKeyOf(fields, "RemoteCreditsManagementProc");
    if (key.isEmpty())
        return;
    const qint64 granted = qint64(CUtil::littleEndian(fields.value(QStringLiteral("credits"))));
    ChannelInfo info = m_channels.value(key);
    const qint64 consumed = qMax<qint64>(0, info.remoteValues.value(KeyConsumed).toLongLong() - granted);
    const qint64 remaining = qMin(info.remoteValues.value(KeyRemaining).toLongLong() + granted,
                                  info.remoteValues.value(KeyInitial).toLongLong());
    info.remoteValues.insert(KeyConsumed, QString::number(consumed));
    info.remoteValues.insert(KeyRemaining, QString::number(remaining));
    log(key + QStringLiteral(" send credits,release credits ") + QString::number(granted)
            + QStringLiteral("remain credits  ") + QString::number(remaining),
        LogLevel::Debug);
    log(QStringLiteral("remote remain credits is ") + QString::number(remaining), LogLevel::Debug);
    log(QStringLiteral("release credit is") + QString::number(granted), LogLevel::Debug);
    m_channels.insert(key, info);
    log(key + QStringLiteral(" remote credits manage consumed credits ") + QString::number(consumed)
            + QStringLiteral(" remain credits ") + QString::number(remaining),
        LogLevel::Debug);
    refreshCreditTreeIfCurrent(key);
    emit remoteCreditChanged(key);
}

void CL2capWidget::l2CAPCOCDisconnectProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (!takeFrame(frame, "l2CAPCOCDisconnectProc", fields)
        || m_wire.checkStatus(frame, fields, QStringLiteral("status"), __LINE__, function("l2CAPCOCDisconnectProc"))
            != PageWire::Succeeded)
        return;
    const QString key = QString::number(CUtil::littleEndian(fields.value(QStringLiteral("local_cid"))));
    const QList<QListWidgetItem *> items = ui->listWidget->findItems(channelTitle(key), Qt::MatchExactly);
    if (items.isEmpty()) {
        // Closed before it was ever opened here.
        freePendingChannel(key);
        return;
    }

    {
        // The selection is settled below, once the channel is gone.
        const QSignalBlocker blocker(ui->listWidget);
        delete ui->listWidget->takeItem(ui->listWidget->row(items.first()));
    }
    m_channels.remove(key);
    if (CSduWidget *page = m_sduWidgets.take(key)) {
        disconnect(this, nullptr, page, nullptr);
        ui->verticalLayoutSdu->removeWidget(page);
        page->hide();
        // Later, as it may be the one whose modal box is open.
        page->deleteLater();
    }
    // Deleted once the view shows another model.
    QStandardItemModel *gone = m_models.take(key);

    if (ui->listWidget->count() > 0) {
        m_currentCid = keyOfText(ui->listWidget->item(0)->text());
        {
            const QSignalBlocker blocker(ui->listWidget);
            ui->listWidget->setCurrentRow(0);
        }
        updateCreditTree(m_currentCid);
        showModel(m_currentCid);
    } else {
        m_currentCid.clear();
        showModel(PlaceholderKey);
    }
    delete gone;
    showSduWidget(QString(), -1);
}
