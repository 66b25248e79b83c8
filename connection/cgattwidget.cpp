#include "cgattwidget.h"
#include "ui_cgattwidget.h"

#include "attributetext.h"
#include "ccommand.h"
#include "cgattcmddlg.h"
#include "cmsg.h"
#include "cflatmessage.h"
#include "columnfitter.h"
#include "commandnames.h"
#include "connectionrouter.h"
#include "csmdilog.h"
#include "cutil.h"
#include "dialogofakind.h"
#include "filechooser.h"
#include "gattexport.h"
#include "gattlistresult.h"
#include "ccfgfileparse.h"
#include "gatttablemodel.h"
#include "logger.h"
#include "logmanager.h"
#include "savefilewriter.h"
#include "treeexpansion.h"
#include "treemodel.h"

#include <QDir>
#include <QHeaderView>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QVBoxLayout>

#include <memory>

namespace {

enum ViewMode { CategoryView = 0, SimpleView = 1 };

// The pairing questions of a page, whichever their type.
const char PairingKind[] = "Pairing request";

} // namespace

CGattWidget::CGattWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                         const QString *dongleName, uint8_t condix, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CGattWidget)
    , m_condix(condix)
    , m_link(link)
    , m_logger(logger)
    , m_dongleName(dongleName)
    , m_settings(settings)
    , m_handlerMap(this, logger)
    , m_status(logger, QStringLiteral(".\\cgattwidget"))
{
    ui->setupUi(this);
    m_treeModel = new TreeModel(m_logger, &m_attributeTable, this);
    m_tableModel = new GattTableModel(m_logger, &m_attributeTable, this);
    m_uuidEnum = CCommand::staticMetaObject.enumerator(CCommand::staticMetaObject.indexOfEnumerator("en_UUID"));
    m_propertiesEnum =
        CCommand::staticMetaObject.enumerator(CCommand::staticMetaObject.indexOfEnumerator("en_PROPERTYES"));

    ui->treeView->header()->setSectionResizeMode(QHeaderView::Interactive);
    ui->treeView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->treeView->setSelectionMode(QAbstractItemView::SingleSelection);
    // Rows are one line each; without this a reset of thousands of rows
    // measures every one of them.
    ui->treeView->setUniformRowHeights(true);
    ui->treeView->setModel(m_treeModel);
    ui->treeView->expandAll();
    ui->toolButton_expandAll->setEnabled(true);
    ui->toolButton_collapseAll->setEnabled(true);
    setColumnWidths();

    // The console reads its command groups and builds its tree when its tab
    // is first shown, not for every connection that opens.
    m_cmdDlgHolder = new QWidget;
    auto *holderLayout = new QVBoxLayout(m_cmdDlgHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    ui->gattTabWidget->insertTab(1, m_cmdDlgHolder, QStringLiteral("Send Commands"));
    connect(ui->gattTabWidget, &QTabWidget::currentChanged, this, [this](int index) {
        if (ui->gattTabWidget->widget(index) == m_cmdDlgHolder)
            commandConsole();
    });
    ui->toolButton_pair->setEnabled(true);

    if (m_link) {
        ConnectionRouter::of(m_link)->subscribe(&CMsg::sig_rcvGattMsg, m_condix, this, &CGattWidget::onRcvMsg);
        ConnectionRouter::of(m_link)->subscribe(&CMsg::sig_rcvSmMsg, m_condix, this, &CGattWidget::onRcvMsg);
    }
    registerHandlers();

    m_tableRebuild.setSingleShot(true);
    m_tableRebuild.setInterval(0);
    connect(&m_tableRebuild, &QTimer::timeout, this, &CGattWidget::rebuildTable);

    m_batchWatchdog.setSingleShot(true);
    m_batchWatchdog.setInterval(DefaultBatchTimeoutMs);
    connect(&m_batchWatchdog, &QTimer::timeout, this, &CGattWidget::onBatchWatchdogTimeout);
}

CGattWidget::~CGattWidget()
{
    // The models point into the attribute table: they go first.
    delete m_treeModel;
    delete m_tableModel;
    delete ui;
}

CGattCmdDlg *CGattWidget::commandConsole()
{
    if (!m_cmdDlg) {
        m_cmdDlg = new CGattCmdDlg(m_link, m_logger, m_condix, m_cmdDlgHolder);
        m_cmdDlgHolder->layout()->addWidget(m_cmdDlg);
        // With its tab at once, not on the layout's next turn.
        m_cmdDlg->show();
        connect(m_cmdDlg, &CGattCmdDlg::sig_sendDicoverCmd, this, &CGattWidget::onSendDicoverCmd);
    }
    return m_cmdDlg;
}

void CGattWidget::registerHandlers()
{
    // Acknowledgements of the GATT commands, "Discover All Attributes",
    // "Starting Pair" and "Gatt get Lnk".
    static const char *const acknowledgements[] = {
        "BB@03@00", "BB@03@02", "BB@03@04", "BB@03@06", "BB@03@08", "BB@03@0A", "BB@03@0C", "BB@03@0E",
        "BB@03@10", "BB@03@12", "BB@03@14", "BB@03@16", "BB@03@18", "BB@03@1A", "BB@03@1C", "BB@03@1E",
        "BB@03@20", "BB@03@22", "BB@03@24", "BB@03@26", "BB@03@29", "BB@02@03", "BB@02@0A",
    };
    for (const char *id : acknowledgements)
        m_handlerMap.add(QString::fromLatin1(id), &CGattWidget::SDKProc);
    m_handlerMap.add({
        {"BB@02@07", &CGattWidget::lastSDKProc},
        {"DD@03@30", &CGattWidget::discoverAllServiceProc},
        {"DD@03@31", &CGattWidget::discoverAllIncludeProc},
        {"DD@03@32", &CGattWidget::discoverAllCharacteristicProc},
        {"DD@03@33", &CGattWidget::discoverAllDescriptorProc},
        {"DD@03@34", &CGattWidget::discoverAllEndProc},
        {"DD@03@01", &CGattWidget::ExchangeGATTMTUProc},
        {"DD@03@03", &CGattWidget::discoverServiceProc},
        {"DD@03@05", &CGattWidget::discoverServiceProc},
        {"DD@03@07", &CGattWidget::relationshipDiscoveryProc},
        {"DD@03@09", &CGattWidget::discoverCharacteristicProc},
        {"DD@03@0B", &CGattWidget::discoverCharacteristicProc},
        {"DD@03@0D", &CGattWidget::descriptorDiscoveryProc},
        {"DD@03@0F", &CGattWidget::readProc},
        {"DD@03@11", &CGattWidget::readProc},
        {"DD@03@13", &CGattWidget::readProc},
        {"DD@03@15", &CGattWidget::readProc},
        {"DD@03@21", &CGattWidget::readProc},
        {"DD@03@23", &CGattWidget::readProc},
        {"DD@03@17", &CGattWidget::WriteProc},
        {"DD@03@19", &CGattWidget::WriteProc},
        {"DD@03@1B", &CGattWidget::WriteProc},
        {"DD@03@1D", &CGattWidget::WriteProc},
        {"DD@03@1F", &CGattWidget::WriteProc},
        {"DD@03@25", &CGattWidget::WriteProc},
        {"DD@03@27", &CGattWidget::WriteProc},
        {"DD@03@28", &CGattWidget::notificationProc},
        {"DD@02@04", &CGattWidget::startingPairProc},
        {"DD@02@06", &CGattWidget::securityRequestProc},
        {"DD@02@0A", &CGattWidget::getLnkProc},
    });
}

void CGattWidget::onRcvMsg(const QByteArray &frame)
{
    m_handlerMap.dispatch(frame);
}

void CGattWidget::setIsCurrentTab(bool current)
{
    m_isCurrentTab = current;
}

void CGattWidget::setBatchControlsEnabled(bool enabled)
{
    ui->gattTabWidget->setEnabled(enabled);
    ui->toolButton_dicoverAllAttr->setEnabled(enabled);
    ui->toolButton_enableNotifyAndIndicate->setEnabled(enabled);
    ui->toolButton_disableNotifyAndIndicate->setEnabled(enabled);
    ui->toolButton_readAllChar->setEnabled(enabled);
}

void CGattWidget::setColumnWidths()
{
    // Widened to the longest UUID or value on show.
    if (!m_columnFitter)
        m_columnFitter = ColumnFitter::attach(ui->treeView, {120, 120, 160, 300, 120}, ColumnFitter::TitlesAndCells,
                                              ColumnFitter::StretchLast);
    else
        m_columnFitter->refit();
}

void CGattWidget::scheduleTableRebuild(bool withValueRows)
{
    // The last result of a burst decides, as it would rebuilding each time.
    m_rebuildWithValueRows = withValueRows;
    if (!m_tableRebuild.isActive())
        m_tableRebuild.start();
}

void CGattWidget::rebuildTable()
{
    m_tableRebuild.stop();
    m_tableModel->setupModelData(m_rebuildWithValueRows);
}

void CGattWidget::on_toolButton_expandAll_clicked()
{
    ui->treeView->expandAll();
}

void CGattWidget::on_toolButton_collapseAll_clicked()
{
    ui->treeView->collapseAll();
}

void CGattWidget::on_comboBox_mode_currentIndexChanged(int index)
{
    if (index == CategoryView) {
        ui->treeView->setModel(m_treeModel);
        ui->treeView->expandAll();
        ui->toolButton_expandAll->setEnabled(true);
    } else if (index == SimpleView) {
        ui->treeView->setModel(m_tableModel);
        ui->toolButton_expandAll->setEnabled(false);
    }
    ui->toolButton_collapseAll->setEnabled(index == CategoryView);
    setColumnWidths();
}

void CGattWidget::onSendDicoverCmd()
{
    // The console's discoveries fill only the flat list.
    ui->comboBox_mode->setCurrentIndex(SimpleView);
    ui->comboBox_mode->setEnabled(false);
    ui->toolButton_enableNotifyAndIndicate->setEnabled(false);
    ui->toolButton_disableNotifyAndIndicate->setEnabled(false);
}

void CGattWidget::on_pairEnable(bool enable)
{
    ui->toolButton_pair->setEnabled(enable);
}

void CGattWidget::SDKProc(const QByteArray &frame)
{
    if (m_isCurrentTab)
        CCommand::SDKProc(m_logger, frame);
    takeBatchAcknowledgement(frame);
}

void CGattWidget::lastSDKProc(const QByteArray &frame)
{
    if (m_isCurrentTab)
        CCommand::lastSDKProc(m_logger, frame);
}

bool CGattWidget::parseOwnEvent(const QByteArray &frame, QMap<QString, QByteArray> &fields)
{
    if (!m_status.parse(frame, &fields))
        return false;
    const QByteArray condix = fields.value(QStringLiteral("condix"));
    if (condix.isEmpty() || quint8(condix.at(0)) != m_condix)
        return false;
    batchHeard();
    return true;
}

bool CGattWidget::readHandle(const QByteArray &bytes, quint16 *handle)
{
    quint64 value = 0;
    if (bytes.size() != 2 || CUtil::arrayToValue(0, bytes, &value) != 0) {
        m_logger->log(QStringLiteral("GATT receive msg is wrong."), LogLevel::Error);
        return false;
    }
    *handle = quint16(value);
    return true;
}

AttributeInfo CGattWidget::declarationEntry(quint16 handle, quint16 type, const QByteArray &value) const
{
    AttributeInfo entry;
    entry.valid = 1;
    entry.handle = handle;
    entry.uuid = CCommand::uuid16ToArray(type);
    entry.uuidDescription = CCommand::enumText("en_UUID", type);
    entry.value = value;
    return entry;
}

AttributeInfo CGattWidget::descriptorEntry(quint16 handle, const QByteArray &uuid) const
{
    AttributeInfo entry;
    entry.valid = 1;
    entry.handle = handle;
    AttributeText::setShortUuid(&entry, uuid, 4);
    return entry;
}

void CGattWidget::storeEntry(const AttributeInfo &entry)
{
    if (m_attributeTable.size() <= entry.handle)
        m_attributeTable.resize(entry.handle + 1);
    m_attributeTable[entry.handle] = entry;
}

void CGattWidget::storeCharacteristic(const AttributeInfo &declaration)
{
    storeEntry(declaration);
    // The value's placeholder follows its declaration; there is no handle
    // after 0xFFFF to hold one.
    if (declaration.handle == 0xFFFF)
        return;
    AttributeInfo placeholder;
    placeholder.valid = 1;
    placeholder.handle = declaration.handle + 1;
    storeEntry(placeholder);
}

void CGattWidget::storeDiscoveredDeclaration(const QByteArray &frame, const QString &handleKey, quint16 type,
                                             const QStringList &valueKeys)
{
    QMap<QString, QByteArray> fields;
    quint16 handle = 0;
    if (!parseOwnEvent(frame, fields) || !readHandle(fields.value(handleKey), &handle))
        return;
    QByteArray value;
    for (const QString &key : valueKeys)
        value += fields.value(key);
    if (type == 0x2803)
        storeCharacteristic(declarationEntry(handle, type, value));
    else
        storeEntry(declarationEntry(handle, type, value));
    scheduleTableRebuild(true);
}

void CGattWidget::discoverAllServiceProc(const QByteArray &frame)
{
    storeDiscoveredDeclaration(frame, QStringLiteral("start_handle"), 0x2800,
                               {QStringLiteral("start_handle"), QStringLiteral("end_handle"),
                                QStringLiteral("service_UUID")});
}

void CGattWidget::discoverAllIncludeProc(const QByteArray &frame)
{
    storeDiscoveredDeclaration(frame, QStringLiteral("attr_hdl"), 0x2802,
                               {QStringLiteral("start_handle"), QStringLiteral("end_handle"),
                                QStringLiteral("service_UUID")});
}

void CGattWidget::discoverAllCharacteristicProc(const QByteArray &frame)
{
    storeDiscoveredDeclaration(frame, QStringLiteral("handle"), 0x2803,
                               {QStringLiteral("properties"), QStringLiteral("value_handle"),
                                QStringLiteral("char_UUID")});
}

void CGattWidget::discoverAllDescriptorProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    quint16 handle = 0;
    if (!parseOwnEvent(frame, fields) || !readHandle(fields.value(QStringLiteral("handle")), &handle))
        return;
    storeEntry(descriptorEntry(handle, fields.value(QStringLiteral("descriptor_UUID"))));
    scheduleTableRebuild(false);
}

void CGattWidget::discoverAllEndProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    // Only this connection's end ends this page's batch: another
    // connection's discovery says nothing about ours.
    if (!parseOwnEvent(frame, fields))
        return;
    finishBatch();
    m_treeModel->setupModelData();
    m_rebuildWithValueRows = true;
    rebuildTable();
    ui->treeView->expandAll();
}

// ---------------------------------------------------------------------------
// Commands

QString CGattWidget::dongleName() const
{
    return m_dongleName ? *m_dongleName : QString();
}

QMap<QString, QVariant> CGattWidget::connectionFields() const
{
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("condix"), int(m_condix));
    return fields;
}

bool CGattWidget::send(const char *command, const QMap<QString, QVariant> &fields)
{
    const QString name = QString::fromLatin1(command);
    if (CCommand::sendMsg(m_link, m_logger, name, fields, QMap<QString, QVariant>()))
        return true;
    CCommand::logSendFailed(m_logger, name);
    return false;
}

void CGattWidget::beginBatch(Batch kind)
{
    setBatchControlsEnabled(false);
    m_batch = kind;
    m_pendingCount = 0;
    m_batchAcks = 0;
    m_batchWatchdog.start();
}

void CGattWidget::endBatchIfEmpty(const QString &why)
{
    if (m_pendingCount > 0)
        return;
    finishBatch();
    if (m_logger)
        m_logger->log(QStringLiteral("CGattWidget: ") + why, LogLevel::Info);
}

void CGattWidget::batchRequestSent(const char *command)
{
    m_batchCommand = QString::fromLatin1(command);
    m_batchAckId = QStringLiteral("BB@") + CCfgFileParse::instance()->m_downlinkNameToIdMap.value(m_batchCommand);
    ++m_batchAcks;
    batchHeard();
}

void CGattWidget::batchHeard()
{
    if (m_batch != Batch::None)
        m_batchWatchdog.start();
}

void CGattWidget::takeBatchAcknowledgement(const QByteArray &frame)
{
    if (m_batch == Batch::None || m_batchAcks <= 0 || CCommand::getUpLinkId(frame) != m_batchAckId)
        return;
    --m_batchAcks;
    batchHeard();
    const quint8 status = frame.size() == 6 ? quint8(frame.at(5)) : 0;
    if (status != 0)
        abandonBatch(QStringLiteral("the dongle refused %1 (%2); the batch ends.")
                         .arg(m_batchCommand, CCommand::enumText("SDK_STATUS_RSP", status)),
                     LogLevel::Error);
}

void CGattWidget::finishBatch()
{
    m_batch = Batch::None;
    m_batchAcks = 0;
    m_batchWatchdog.stop();
    setBatchControlsEnabled(true);
}

void CGattWidget::abandonBatch(const QString &why, int level)
{
    finishBatch();
    if (m_logger)
        m_logger->log(QStringLiteral("CGattWidget: ") + why, level);
}

void CGattWidget::onBatchWatchdogTimeout()
{
    if (m_batch == Batch::None)
        return;
    abandonBatch(QStringLiteral("nothing heard of %1 for %2 s; the batch ends.")
                     .arg(m_batchCommand)
                     .arg(m_batchWatchdog.interval() / 1000.0),
                 LogLevel::Warn);
}

bool CGattWidget::takeBatchAnswer(Batch kind)
{
    if (m_batch != kind || m_pendingCount <= 0)
        return false;
    --m_pendingCount;
    return m_pendingCount == 0;
}

void CGattWidget::on_toolButton_dicoverAllAttr_clicked()
{
    beginBatch(Batch::Discovery);
    clearAttributes();
    ui->comboBox_mode->setEnabled(true);
    // Only the end of this discovery gives the controls back.
    if (send(CMD_DISCOVER_ALL_ATTRIBUTES, connectionFields()))
        batchRequestSent(CMD_DISCOVER_ALL_ATTRIBUTES);
    else
        endBatchIfEmpty(QStringLiteral("discovery not sent, nothing to wait for."));
}

void CGattWidget::on_toolButton_exchangeMTU_clicked()
{
    send(CMD_EXCHANGE_GATT_MTU, connectionFields());
}

void CGattWidget::on_toolButton_clear_clicked()
{
    // The batch asked about attributes that are gone now.
    if (m_batch != Batch::None)
        abandonBatch(m_batchCommand + QStringLiteral(" stopped by Clear."), LogLevel::Info);
    clearAttributes();
}

void CGattWidget::clearAttributes()
{
    m_tableRebuild.stop();
    m_attributeTable.resize(0);
    m_tableModel->clear();
    m_treeModel->clear();
    ui->toolButton_enableNotifyAndIndicate->setEnabled(false);
    ui->toolButton_disableNotifyAndIndicate->setEnabled(false);
    ui->toolButton_readAllChar->setEnabled(false);
}

void CGattWidget::on_toolButton_enableNotifyAndIndicate_clicked()
{
    writeConfigurations(true);
}

void CGattWidget::on_toolButton_disableNotifyAndIndicate_clicked()
{
    writeConfigurations(false);
}

void CGattWidget::writeConfigurations(bool enable)
{
    beginBatch(Batch::Writes);
    on_toolButton_enableNotifications_pressed(enable, false);
    endBatchIfEmpty(QStringLiteral("no configuration descriptor was written."));
}

int CGattWidget::on_toolButton_enableNotifications_pressed(bool enable, bool readBack)
{
    m_pendingCount = 0;
    m_batch = readBack ? Batch::Reads : Batch::Writes;
    m_batchAcks = 0;
    const QVector<TreeItem *> items = m_treeModel->items();
    for (TreeItem *item : items) {
        if (!item) {
            m_logger->log(QStringLiteral("CGattWidget::on_toolButton_enableNotifications_pressed: treeItem is null."),
                          LogLevel::Debug);
            return -1;
        }
        if (!AttributeText::isUuid16(item->data().uuid, 0x2803))
            continue;
        if (item->childCount() == 0) {
            m_logger->log(QStringLiteral("CGattWidget::on_toolButton_enableNotifications_pressed: the child of "
                                         "Characteristic Declaration is empty."),
                          LogLevel::Debug);
            return -1;
        }
        const uint8_t properties = item->child(0)->data().properties;
        const bool notify = properties & CCommand::Notify;
        const bool indicate = properties & CCommand::Indicate;
        if (!notify && !indicate)
            continue;
        for (int i = 0; i < item->childCount(); ++i) {
            const AttributeInfo &descriptor = item->child(i)->data();
            if (!AttributeText::isUuid16(descriptor.uuid, 0x2902))
                continue;
            const int configuration = enable ? (notify ? 1 : 0) + (indicate ? 2 : 0) : 0;
            QMap<QString, QVariant> fields = connectionFields();
            fields.insert(QStringLiteral("value"), CUtil::valueToArray(0, quint64(configuration), 2));
            fields.insert(QStringLiteral("attrible_handle"), CUtil::valueToArray(0, descriptor.handle, 2));
            const char *command = readBack ? CMD_READ_CHARACTERISTIC_DESCRIPTOR : CMD_WRITE_CHARACTERISTIC_DESCRIPTOR;
            if (send(command, fields)) {
                ++m_pendingCount;
                batchRequestSent(command);
            }
        }
    }
    return 0;
}

void CGattWidget::on_toolButton_readAllChar_clicked()
{
    beginBatch(Batch::Reads);
    const QVector<AttributeInfo> rows = m_tableModel->attributes();
    for (int i = 0; i < rows.size(); ++i) {
        if (!AttributeText::isUuid16(rows.at(i).uuid, 0x2803))
            continue;
        if (i == rows.size() - 1) {
            m_logger->log(QStringLiteral("CGattWidget::on_toolButton_readAllChar_pressed: attribute handle is wrong."),
                          LogLevel::Debug);
            break;
        }
        const AttributeInfo &value = rows.at(i + 1);
        if (!(value.properties & CCommand::Read))
            continue;
        QMap<QString, QVariant> fields = connectionFields();
        fields.insert(QStringLiteral("attrible_handle"), CUtil::valueToArray(0, value.handle, 2));
        fields.insert(QStringLiteral("offset"), CUtil::valueToArray(0, 0, 2));
        // Only a queued read will be answered.
        if (send(CMD_READ_LONG_CHARACTERISTIC_VALUE, fields)) {
            ++m_pendingCount;
            batchRequestSent(CMD_READ_LONG_CHARACTERISTIC_VALUE);
        }
    }
    endBatchIfEmpty(QStringLiteral("no characteristic value was read."));
}

void CGattWidget::on_toolButton_export_clicked()
{
    const QString path = chooseSaveFileName(this, tr("save File..."), QStringLiteral("GATT Attribute.csv"), QString());
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!SaveFileWriter::open(file)) {
        m_logger->log(QStringLiteral("Open file failed."), LogLevel::Error);
        showExportFailure(path, file.errorString());
        return;
    }
    if (!SaveFileWriter::write(file, GattExport::csv(m_tableModel->attributes())) || !file.commit()) {
        m_logger->log(QStringLiteral("Write file failed: %1 (%2)").arg(path, file.errorString()), LogLevel::Error);
        showExportFailure(path, file.errorString());
    }
}

void CGattWidget::showExportFailure(const QString &path, const QString &reason)
{
    CFlatMessage::information(this, QStringLiteral("error"),
                              tr("The attributes could not be exported to %1: %2.\nA file that was there is left "
                                 "as it was. Choose a folder that exists and can be written, and export again.")
                                  .arg(QDir::toNativeSeparators(path), reason));
}

void CGattWidget::on_treeView_pressed(const QModelIndex &index)
{
    if (!index.isValid()) {
        m_logger->log(QStringLiteral("CGattWidget::on_treeView_pressed: index is not valid."), LogLevel::Debug);
        return;
    }
    AttributeInfo record;
    int result = 0;
    if (ui->comboBox_mode->currentIndex() == CategoryView)
        result = m_treeModel->getAttribute(index, record);
    else if (ui->comboBox_mode->currentIndex() == SimpleView)
        result = m_tableModel->getAttribute(index, record);
    else
        m_logger->log(QStringLiteral("CGattWidget::on_treeView_pressed."), LogLevel::Debug);
    if (result != 0) {
        m_logger->log(QStringLiteral("CGattWidget::on_treeView_pressed: getAttribute failed."), LogLevel::Debug);
        return;
    }
    showAttribute(record);
}

void CGattWidget::showAttribute(const AttributeInfo &record)
{
    ui->label_handle->setText(AttributeText::handleText(record.handle));
    ui->label_UUID->setText(AttributeText::uuidText(record.uuid));
    ui->label_UUIDDescription->setText(record.uuidDescription);
    ui->label_property->setText(AttributeText::propertyNames(record.properties, QStringLiteral(" , ")));
    ui->textEdit_value->setPlainText(QString::fromLatin1(record.value.toHex()));
    ui->pb_read->setEnabled(record.properties & CCommand::Read);
    ui->pb_write->setEnabled(record.properties & CCommand::Write);
}

bool CGattWidget::shownAttributeFields(QMap<QString, QVariant> *fields)
{
    const QString handle = ui->label_handle->text();
    if (handle.isEmpty()) {
        m_logger->log(QStringLiteral("Handle is empty."), LogLevel::Error);
        return false;
    }
    *fields = connectionFields();
    fields->insert(QStringLiteral("attrible_handle"), handle.mid(2));
    return true;
}

void CGattWidget::on_pb_read_clicked()
{
    QMap<QString, QVariant> fields;
    if (shownAttributeFields(&fields))
        send(CMD_READ_CHARACTERISTIC_VALUE, fields);
}

void CGattWidget::on_pb_write_clicked()
{
    QMap<QString, QVariant> fields;
    if (!shownAttributeFields(&fields))
        return;
    fields.insert(QStringLiteral("value"), ui->textEdit_value->getByteArray());
    send(CMD_WRITE_CHARACTERISTIC_VALUE, fields);
}

// ---------------------------------------------------------------------------
// List results

QString CGattWidget::listResultName(const QByteArray &frame) const
{
    return CCfgFileParse::instance()->m_uplinkIdToNameMap.value(CCommand::getUpLinkId(frame));
}

void CGattWidget::logFormatError(const QByteArray &frame)
{
    m_logger->log(QStringLiteral("Uplink Command Name:") + listResultName(frame) + QStringLiteral(" Format error."),
                  LogLevel::Error);
}

namespace {
enum ListKind { ServiceList, IncludeList, CharacteristicList, DescriptorList };

quint16 u16At(const QByteArray &bytes, int at)
{
    return quint16(CUtil::littleEndian(bytes.mid(at, 2)));
}
} // namespace

void CGattWidget::storeListRecords(const QByteArray &frame, int kind)
{
    static const GattListResult::Layout layouts[] = {GattListResult::Services, GattListResult::Includes,
                                                     GattListResult::Characteristics, GattListResult::Descriptors};
    CCommand::uplinkRawMsgToLog(m_logger, frame);
    const GattListResult list = GattListResult::cut(UplinkStatus::payload(frame), layouts[kind]);
    if (list.error == GattListResult::TooShort) {
        logFormatError(frame);
        return;
    }
    if (list.condix != m_condix)
        return;
    if (list.status != 0) {
        CCommand::statusRspToLog(m_logger, frame, list.status);
        return;
    }
    if (list.error != GattListResult::NoError) {
        logFormatError(frame);
        return;
    }
    const int header = layouts[kind].headerSize;
    for (const QByteArray &record : list.records) {
        const QByteArray uuid = record.mid(header);
        switch (kind) {
        case ServiceList:
            storeEntry(declarationEntry(u16At(record, 0), 0x2800, record.left(4) + uuid));
            break;
        case IncludeList:
            storeEntry(declarationEntry(u16At(record, 0), 0x2802, record.mid(2, 4) + uuid));
            break;
        case CharacteristicList:
            // The list gives the value handle before the properties.
            storeCharacteristic(declarationEntry(u16At(record, 0), 0x2803, record.mid(4, 1) + record.mid(2, 2) + uuid));
            break;
        default:
            storeEntry(descriptorEntry(u16At(record, 0), uuid));
            break;
        }
    }
    scheduleTableRebuild(kind != DescriptorList);
}

void CGattWidget::discoverServiceProc(const QByteArray &frame)
{
    storeListRecords(frame, ServiceList);
}

void CGattWidget::relationshipDiscoveryProc(const QByteArray &frame)
{
    storeListRecords(frame, IncludeList);
}

void CGattWidget::discoverCharacteristicProc(const QByteArray &frame)
{
    storeListRecords(frame, CharacteristicList);
}

void CGattWidget::descriptorDiscoveryProc(const QByteArray &frame)
{
    storeListRecords(frame, DescriptorList);
}

// ---------------------------------------------------------------------------
// Operation results

void CGattWidget::ExchangeGATTMTUProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    if (UplinkStatus::byteField(fields, QStringLiteral("condix")) != m_condix)
        return;
    const std::optional<uchar> status = UplinkStatus::byteField(fields, QStringLiteral("status"));
    if (!status) {
        m_status.internalError(__LINE__, QStringLiteral("CGattWidget::ExchangeGATTMTUProc"));
        return;
    }
    if (*status != 0) {
        CCommand::statusRspToLog(m_logger, frame, *status);
        return;
    }
    CFlatMessage::notify(this, QStringLiteral("ATTENTION"), QStringLiteral("Exchange MTU success"));
}

void CGattWidget::readProc(const QByteArray &frame)
{
    CCommand::uplinkRawMsgToLog(m_logger, frame);
    const GattListResult list = GattListResult::cut(UplinkStatus::payload(frame), GattListResult::Reads);
    if (!list.hasCondix || list.condix != m_condix) {
        if (list.error == GattListResult::TooShort)
            logFormatError(frame);
        return;
    }
    batchHeard();
    // Every answer of this connection ends one read, whatever it says.
    if (takeBatchAnswer(Batch::Reads))
        finishBatch();
    if (list.error == GattListResult::TooShort) {
        logFormatError(frame);
        return;
    }
    if (list.status != 0) {
        CCommand::statusRspToLog(m_logger, frame, list.status);
        return;
    }
    if (list.error != GattListResult::NoError) {
        logFormatError(frame);
        return;
    }
    const int header = GattListResult::Reads.headerSize;
    for (const QByteArray &record : list.records) {
        const quint16 handle = u16At(record, 0);
        const QByteArray value = record.mid(header);
        m_treeModel->updateValue(handle, value);
        m_tableModel->updateValue(handle, value);
        if (ui->label_handle->text() == AttributeText::handleText(handle))
            ui->textEdit_value->setPlainText(QString::fromLatin1(value.toHex()));
    }
    if (!list.records.isEmpty())
        TreeExpansion::expandAll(ui->treeView);
}

void CGattWidget::WriteProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CGattWidget::WriteProc");
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    const std::optional<uchar> condix = UplinkStatus::byteField(fields, QStringLiteral("condix"));
    if (!condix) {
        m_status.internalError(__LINE__, function);
        return;
    }
    if (*condix != m_condix)
        return;
    batchHeard();
    // The last write of the batch reads every configuration back.
    if (takeBatchAnswer(Batch::Writes)) {
        on_toolButton_enableNotifications_pressed(true, true);
        endBatchIfEmpty(QStringLiteral("no configuration descriptor to read back."));
    }
    const std::optional<uchar> status = UplinkStatus::byteField(fields, QStringLiteral("status"));
    if (!status) {
        m_status.internalError(__LINE__, function);
        return;
    }
    if (*status != 0)
        CCommand::statusRspToLog(m_logger, frame, *status);
}

void CGattWidget::notificationProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (!m_status.parse(frame, &fields))
        return;
    if (UplinkStatus::byteField(fields, QStringLiteral("condix")) != m_condix)
        return;
    quint16 handle = 0;
    if (!readHandle(fields.value(QStringLiteral("handle")), &handle))
        return;
    const QByteArray value = fields.value(QStringLiteral("value"));
    m_treeModel->updateValue(handle, value);
    m_tableModel->updateValue(handle, value);
    TreeExpansion::expandAll(ui->treeView);
}

// ---------------------------------------------------------------------------
// Pairing

void CGattWidget::on_toolButton_pair_clicked()
{
    send(CMD_STARTING_PAIR, connectionFields());
}

void CGattWidget::on_toolButton_getLnk_clicked()
{
    send(CMD_GATT_GET_LNK, connectionFields());
}

void CGattWidget::on_cmsdialogPair(QString value, uint8_t response)
{
    bool ok = false;
    const quint64 number = value.toULongLong(&ok, 10);
    m_pairValue = ok ? number : 0;
    m_pairResponse = response;
}

void CGattWidget::sendPairConfirm(const QByteArray &payload)
{
    const QByteArray frame = CCommand::downlinkFrame(0x02, 0x07, payload);
    m_logger->log(QStringLiteral("Sending Confirm Information\r\nRaw data: ") + QString::fromLatin1(frame.toHex()),
                  LogLevel::Info);
    if (m_link && m_link->sendMsg(frame) == 0)
        m_pairPending = false;
}

bool CGattWidget::runPairDialog(const QString &titleSuffix, const QString &caption, const QString &number,
                                bool editable, QString *value, uint8_t *response)
{
    auto *dialog = new csmdilog(dongleName() + titleSuffix, this);
    connect(dialog, &csmdilog::cmsdialogPair, this, &CGattWidget::on_cmsdialogPair);
    // The answer of this dialog, not of whichever request answered last.
    auto answer = std::make_shared<std::optional<std::pair<QString, uint8_t>>>();
    connect(dialog, &csmdilog::cmsdialogPair, dialog,
            [answer](const QString &text, uint8_t flag) { *answer = std::make_pair(text, flag); });
    dialog->setLabelText(caption);
    if (!number.isNull())
        dialog->setNumberText(number);
    dialog->setNumberEnabled(editable);
    m_pairDialog = dialog;
    m_pairPending = true;
    DialogOfAKind::hold(this, QLatin1String(PairingKind), dialog);

    const QPointer<CGattWidget> self(this);
    dialog->exec();
    // The connection may have gone, and this page with it, while the dialog ran.
    if (!self || !m_pairPending || !answer->has_value())
        return false;
    *value = (*answer)->first;
    *response = (*answer)->second;
    return true;
}

void CGattWidget::securityRequestProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CGattWidget::securityRequestProc");
    const QByteArray payload = UplinkStatus::payload(frame);
    if (payload.isEmpty() || quint8(payload.back()) != m_condix)
        return;
    CCommand::uplinkRawMsgToLog(m_logger, frame);
    // type, its own bytes, then the connection index
    const quint8 type = quint8(payload.at(0));
    const int needed = type == 3 ? 6 : type == 1 ? 3 : 2;
    if (payload.size() < needed) {
        m_status.internalError(__LINE__, function);
        return;
    }
    const QByteArray index(1, char(m_condix));

    // One pairing question at a time; one that comes meanwhile is declined.
    if (type == 0 || type == 1 || type == 3) {
        const QByteArray declined = type == 1 ? QByteArray::fromHex("010000000000") : QByteArray(1, char(type)) + '\0';
        if (DialogOfAKind::refuseWhilePending(this, QLatin1String(PairingKind), m_link, m_logger, [&] {
                const QByteArray frame = CCommand::downlinkFrame(0x02, 0x07, declined + index);
                m_logger->log(QStringLiteral("Sending Confirm Information\r\nRaw data: ") + QString::fromLatin1(frame.toHex()),
                              LogLevel::Info);
                m_link->sendMsg(frame);
            }))
            return;
    }

    if (type == 3) {
        quint64 number = 0;
        if (CUtil::arrayToValue(0, payload.mid(1, 4), &number) != 0)
            return;
        QString value;
        uint8_t response = 0;
        if (!runPairDialog(QStringLiteral(": Number Comparison"), QStringLiteral("Number Comparison"),
                           QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0')), false, &value, &response))
            return;
        if (m_pairConfirm == 1)
            sendPairConfirm(QByteArray(1, char(3)) + char(response) + index);
        return;
    }
    if (type == 1) {
        const quint8 role = quint8(payload.at(1));
        QString value;
        uint8_t response = 0;
        bool answered = false;
        if (role == 1) {
            const quint32 passkey = QRandomGenerator::system()->bounded(1000000u);
            answered = runPairDialog(QStringLiteral(": Generate Passkey"), QStringLiteral("Generate Passkey"),
                                     QStringLiteral("%1").arg(passkey, 6, 10, QLatin1Char('0')), false, &value,
                                     &response);
        } else if (role == 2) {
            answered = runPairDialog(QStringLiteral(": Input Passkey"), QStringLiteral("Input Passkey"), QString(),
                                     true, &value, &response);
        } else {
            // Nothing this page knows how to answer.
            m_status.internalError(__LINE__, function);
            return;
        }
        if (!answered || m_pairConfirm != 1)
            return;
        bool ok = false;
        const quint64 passkey = value.toULongLong(&ok, 10);
        sendPairConfirm(QByteArray(1, char(1)) + char(response) + CUtil::valueToArray(0, ok ? passkey : 0, 4)
                        + index);
        return;
    }
    if (type == 0) {
        emit sig_showDongleTab(dongleName());
        const QPointer<CGattWidget> self(this);
        const int answer = CFlatMessage::ask(this, dongleName() + QStringLiteral(": Make Pair"),
                                             QStringLiteral("Receive encryption request from the peer device"),
                                             QLatin1String(PairingKind));
        if (!self || answer == QMessageBox::Cancel)
            return;
        sendPairConfirm(QByteArray(1, char(0)) + char(answer == QMessageBox::Yes ? 1 : 0) + index);
    }
}

void CGattWidget::startingPairProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (CCommand::parseUpLinkCmd(m_logger, frame, fields) != 0)
        return;
    if (UplinkStatus::byteField(fields, QStringLiteral("condix")) != m_condix)
        return;
    const UplinkStatus::Result checked = m_status.checkParsed(frame, fields, __LINE__, QStringLiteral("CGattWidget::startingPairProc"),
                                                              UplinkStatus::KeepFailureQuiet, QStringLiteral("result"));
    if (checked == UplinkStatus::Malformed)
        return;
    const QString title = dongleName() + QStringLiteral(": Pair Result");
    if (checked == UplinkStatus::Succeeded) {
        emit sig_showDongleTab(dongleName());
        CFlatMessage::notify(this, title, QStringLiteral("Pair succeeded."));
        return;
    }
    // Nothing is confirmed for a pairing that has failed.
    m_pairPending = false;
    if (m_pairDialog)
        m_pairDialog->close();
    m_pairDialog = nullptr;
    CFlatMessage::notify(this, title,
                         QStringLiteral("Pair failed. Result: ")
                             + CCommand::enumText("en_PAIR_RESULT", *UplinkStatus::byteField(fields, QStringLiteral("result"))));
}

void CGattWidget::getLnkProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    if (CCommand::parseUpLinkCmd(m_logger, frame, fields) != 0)
        return;
    if (UplinkStatus::byteField(fields, QStringLiteral("condix")) != m_condix)
        return;
    CCommand::uplinkMsgToLog(m_logger, frame, fields);
    const QByteArray key = fields.value(QStringLiteral("ltk"));
    if (key.size() != 16) {
        m_status.internalError(__LINE__, QStringLiteral("CGattWidget::getLnkProc"));
        return;
    }
    CFlatMessage::notify(this, dongleName() + QStringLiteral(" Link Value"),
                         QStringLiteral("Link value number: ") + AttributeText::valueText(key));
}
