#include "cgattwidget.h"
#include "ui_cgattwidget.h"

#include "attributeitemdelegate.h"
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
#include "gattrecordcodec.h"
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

// The pairing confirmation, built by hand.
const char ConfirmName[] = "Sending Confirm Information";
const quint8 ConfirmLayer = 0x02;
const quint8 ConfirmOpcode = 0x07;

} // namespace

CGattWidget::CGattWidget(CMsg *link, LogManager *logger, QMap<QString, QVariant> *settings,
                         const QString *dongleName, uint8_t condix, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CGattWidget)
    , m_condix(condix)
    , m_link(link)
    , m_logger(logger)
    , m_settings(settings)
    , m_handlerMap(this, logger)
    , m_wire(link, logger, QStringLiteral(".\\cgattwidget"), condix)
    , m_batch(DefaultBatchTimeoutMs, [this] { onBatchWatchdogTimeout(); })
{
    m_wire.setDongleName(dongleName);
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
    ui->treeView->setItemDelegate(new AttributeItemDelegate(ui->treeView));
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
        m_cmdDlg->setPageWire(m_wire);
        m_cmdDlgHolder->layout()->addWidget(m_cmdDlg);
        // With its tab at once, not on the layout's next turn.
        m_cmdDlg->show();
        connect(m_cmdDlg, &CGattCmdDlg::sig_sendDicoverCmd, this, &CGattWidget::onSendDicoverCmd);
    }
    return m_cmdDlg;
}

void CGattWidget::registerHandlers()
{
    m_handlerMap.add({
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

bool CGattWidget::takeDiscoveryEvent(const QByteArray &frame, const QString &function, PageWire::Fields &fields)
{
    if (m_wire.check(frame, __LINE__, function, &fields, PageWire::Form().noStatus()) != PageWire::Succeeded)
        return false;
    m_batch.heard();
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

void CGattWidget::storeDiscoveredDeclaration(const QByteArray &frame, const QString &function,
                                             const QString &handleKey, quint16 type, const QStringList &valueKeys)
{
    PageWire::Fields fields;
    quint16 handle = 0;
    if (!takeDiscoveryEvent(frame, function, fields) || !readHandle(fields.value(handleKey), &handle))
        return;
    GattRecordCodec::Declaration declaration;
    declaration.handle = handle;
    declaration.type = type;
    for (const QString &key : valueKeys)
        declaration.value += fields.value(key);
    if (type == 0x2803)
        storeCharacteristic(GattRecordCodec::entry(declaration));
    else
        storeEntry(GattRecordCodec::entry(declaration));
    scheduleTableRebuild(true);
}

void CGattWidget::discoverAllServiceProc(const QByteArray &frame)
{
    storeDiscoveredDeclaration(frame, QStringLiteral("CGattWidget::discoverAllServiceProc"),
                               QStringLiteral("start_handle"), 0x2800,
                               {QStringLiteral("start_handle"), QStringLiteral("end_handle"),
                                QStringLiteral("service_UUID")});
}

void CGattWidget::discoverAllIncludeProc(const QByteArray &frame)
{
    storeDiscoveredDeclaration(frame, QStringLiteral("CGattWidget::discoverAllIncludeProc"),
                               QStringLiteral("attr_hdl"), 0x2802,
                               {QStringLiteral("start_handle"), QStringLiteral("end_handle"),
                                QStringLiteral("service_UUID")});
}

void CGattWidget::discoverAllCharacteristicProc(const QByteArray &frame)
{
    storeDiscoveredDeclaration(frame, QStringLiteral("CGattWidget::discoverAllCharacteristicProc"),
                               QStringLiteral("handle"), 0x2803,
                               {QStringLiteral("properties"), QStringLiteral("value_handle"),
                                QStringLiteral("char_UUID")});
}

void CGattWidget::discoverAllDescriptorProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    quint16 handle = 0;
    if (!takeDiscoveryEvent(frame, QStringLiteral("CGattWidget::discoverAllDescriptorProc"), fields)
        || !readHandle(fields.value(QStringLiteral("handle")), &handle))
        return;
    GattRecordCodec::Declaration descriptor;
    descriptor.handle = handle;
    descriptor.uuid = fields.value(QStringLiteral("descriptor_UUID"));
    storeEntry(GattRecordCodec::entry(descriptor));
    scheduleTableRebuild(false);
}

void CGattWidget::discoverAllEndProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    // Only this connection's end ends this page's batch: another
    // connection's discovery says nothing about ours.
    if (!takeDiscoveryEvent(frame, QStringLiteral("CGattWidget::discoverAllEndProc"), fields))
        return;
    finishBatch();
    m_treeModel->setupModelData();
    m_rebuildWithValueRows = true;
    rebuildTable();
    ui->treeView->expandAll();
}

// ---------------------------------------------------------------------------
// Commands

QMap<QString, QVariant> CGattWidget::connectionFields() const
{
    QMap<QString, QVariant> fields;
    fields.insert(QStringLiteral("condix"), int(m_condix));
    return fields;
}

void CGattWidget::beginBatch(Batch kind)
{
    setBatchControlsEnabled(false);
    m_pendingCount = 0;
    m_batch.begin(kind);
}

void CGattWidget::endBatchIfEmpty(const QString &why)
{
    if (m_pendingCount > 0)
        return;
    finishBatch();
    m_wire.log(QStringLiteral("CGattWidget: ") + why, LogLevel::Info);
}

bool CGattWidget::sendBatchRequest(const char *command, const QMap<QString, QVariant> &fields)
{
    const quint64 batch = m_batch.serial();
    const QString name = QLatin1String(command);
    if (!m_wire.send(name, fields, {}, PageWire::Answer(this, [this, batch, name](const QByteArray &frame) {
            takeBatchAcknowledgement(batch, name, frame);
        })))
        return false;
    m_batch.requestSent(name);
    return true;
}

void CGattWidget::takeBatchAcknowledgement(quint64 batch, const QString &command, const QByteArray &frame)
{
    // Lost: its results may still come, and the batch's watchdog bounds the wait.
    const std::optional<uchar> status = m_wire.acknowledge(frame, command);
    if (!status || batch != m_batch.serial() || !m_batch.isRunning())
        return;
    m_batch.heard();
    if (*status != 0)
        abandonBatch(QStringLiteral("connection %1: the dongle refused %2 (%3); the batch ends.")
                         .arg(m_condix)
                         .arg(command, PageWire::statusText("SDK_STATUS_RSP", *status)),
                     LogLevel::Error);
}

void CGattWidget::finishBatch()
{
    m_batch.finish();
    setBatchControlsEnabled(true);
}

void CGattWidget::abandonBatch(const QString &why, int level)
{
    finishBatch();
    m_wire.log(QStringLiteral("CGattWidget: ") + why, level);
}

void CGattWidget::onBatchWatchdogTimeout()
{
    abandonBatch(QStringLiteral("nothing heard of %1 for %2 s; the batch ends.")
                     .arg(m_batch.command())
                     .arg(m_batch.timeoutMs() / 1000.0),
                 LogLevel::Warn);
}

bool CGattWidget::takeBatchAnswer(Batch kind)
{
    if (m_batch.kind() != kind || m_pendingCount <= 0)
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
    if (!sendBatchRequest(CMD_DISCOVER_ALL_ATTRIBUTES, connectionFields()))
        endBatchIfEmpty(QStringLiteral("discovery not sent, nothing to wait for."));
}

void CGattWidget::on_toolButton_exchangeMTU_clicked()
{
    m_wire.send(QLatin1String(CMD_EXCHANGE_GATT_MTU), connectionFields());
}

void CGattWidget::on_toolButton_clear_clicked()
{
    // The batch asked about attributes that are gone now.
    if (m_batch.isRunning())
        abandonBatch(m_batch.command() + QStringLiteral(" stopped by Clear."), LogLevel::Info);
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
    m_batch.continueAs(readBack ? Batch::Reads : Batch::Writes);
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
            if (sendBatchRequest(command, fields))
                ++m_pendingCount;
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
        if (sendBatchRequest(CMD_READ_LONG_CHARACTERISTIC_VALUE, fields))
            ++m_pendingCount;
    }
    endBatchIfEmpty(QStringLiteral("no characteristic value was read."));
}

void CGattWidget::on_toolButton_export_clicked()
{
    const QString path = chooseSaveFileName(this, tr("save File..."), QStringLiteral("GATT Attribute.csv"), QString());
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    QString why;
    if (!SaveFileWriter::open(file, &why)) {
        m_logger->log(QStringLiteral("Open file failed."), LogLevel::Error);
        showExportFailure(path, why);
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
        m_wire.send(QLatin1String(CMD_READ_CHARACTERISTIC_VALUE), fields);
}

void CGattWidget::on_pb_write_clicked()
{
    QMap<QString, QVariant> fields;
    if (!shownAttributeFields(&fields))
        return;
    fields.insert(QStringLiteral("value"), ui->textEdit_value->getByteArray());
    m_wire.send(QLatin1String(CMD_WRITE_CHARACTERISTIC_VALUE), fields);
}

// ---------------------------------------------------------------------------
// List results

void CGattWidget::storeListRecords(const QByteArray &frame, int kind)
{
    const auto listKind = GattRecordCodec::ListKind(kind);
    QList<QByteArray> records;
    if (m_wire.checkList(frame, GattRecordCodec::layout(listKind), &records) != PageWire::Succeeded)
        return;
    for (const QByteArray &record : records) {
        // The cut list holds whole records only.
        const AttributeInfo entry = GattRecordCodec::entry(GattRecordCodec::declaration(record, listKind));
        if (listKind == GattRecordCodec::CharacteristicList)
            storeCharacteristic(entry);
        else
            storeEntry(entry);
    }
    scheduleTableRebuild(listKind != GattRecordCodec::DescriptorList);
}

void CGattWidget::discoverServiceProc(const QByteArray &frame)
{
    storeListRecords(frame, GattRecordCodec::ServiceList);
}

void CGattWidget::relationshipDiscoveryProc(const QByteArray &frame)
{
    storeListRecords(frame, GattRecordCodec::IncludeList);
}

void CGattWidget::discoverCharacteristicProc(const QByteArray &frame)
{
    storeListRecords(frame, GattRecordCodec::CharacteristicList);
}

void CGattWidget::descriptorDiscoveryProc(const QByteArray &frame)
{
    storeListRecords(frame, GattRecordCodec::DescriptorList);
}

// ---------------------------------------------------------------------------
// Operation results

void CGattWidget::ExchangeGATTMTUProc(const QByteArray &frame)
{
    if (m_wire.check(frame, __LINE__, QStringLiteral("CGattWidget::ExchangeGATTMTUProc")) != PageWire::Succeeded)
        return;
    CFlatMessage::notify(this, QStringLiteral("ATTENTION"), QStringLiteral("Exchange MTU success"));
}

void CGattWidget::readProc(const QByteArray &frame)
{
    QList<QByteArray> records;
    const PageWire::Result result = m_wire.checkList(frame, GattListResult::Reads, &records);
    if (result == PageWire::NotOurs)
        return;
    m_batch.heard();
    // Every answer of this connection ends one read, whatever it says.
    if (takeBatchAnswer(Batch::Reads))
        finishBatch();
    if (result != PageWire::Succeeded)
        return;
    for (const QByteArray &record : records) {
        const GattRecordCodec::ReadValue read = GattRecordCodec::readValue(record);
        m_treeModel->updateValue(read.handle, read.value);
        m_tableModel->updateValue(read.handle, read.value);
        if (ui->label_handle->text() == AttributeText::handleText(read.handle))
            ui->textEdit_value->setPlainText(QString::fromLatin1(read.value.toHex()));
    }
    if (!records.isEmpty())
        TreeExpansion::expandAll(ui->treeView);
}

void CGattWidget::WriteProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CGattWidget::WriteProc");
    PageWire::Fields fields;
    if (m_wire.check(frame, __LINE__, function, &fields, PageWire::Form().noStatus()) != PageWire::Succeeded)
        return;
    m_batch.heard();
    // The last write of the batch reads every configuration back.
    if (takeBatchAnswer(Batch::Writes)) {
        on_toolButton_enableNotifications_pressed(true, true);
        endBatchIfEmpty(QStringLiteral("no configuration descriptor to read back."));
    }
    // The batch counts every answer; the status is told after it.
    m_wire.checkStatus(frame, fields, QStringLiteral("status"), __LINE__, function);
}

void CGattWidget::notificationProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    if (m_wire.check(frame, __LINE__, QStringLiteral("CGattWidget::notificationProc"), &fields,
                     PageWire::Form().noStatus())
        != PageWire::Succeeded)
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
    m_wire.send(QLatin1String(CMD_STARTING_PAIR), connectionFields());
}

void CGattWidget::on_toolButton_getLnk_clicked()
{
    m_wire.send(QLatin1String(CMD_GATT_GET_LNK), connectionFields());
}

void CGattWidget::on_cmsdialogPair(QString value, uint8_t response)
{
    bool ok = false;
    const quint64 number = value.toULongLong(&ok, 10);
    m_pairValue = ok ? number : 0;
    m_pairResponse = response;
}

bool CGattWidget::sendConfirmation(const QByteArray &payload)
{
    // The security manager's own line for the frame, beside the downlink line.
    if (!m_wire.connectionEnded())
        m_wire.log(QStringLiteral("Sending Confirm Information\r\nRaw data: ")
                       + QString::fromLatin1(CCommand::downlinkFrame(ConfirmLayer, ConfirmOpcode, payload).toHex()),
                   LogLevel::Info);
    // Its acknowledgement is the pairing step's result: logged whatever it says.
    return m_wire.sendFrame(QLatin1String(ConfirmName), ConfirmLayer, ConfirmOpcode, payload,
                            PageWire::Answer::withSuccess());
}

void CGattWidget::sendPairConfirm(const QByteArray &payload)
{
    if (sendConfirmation(payload))
        m_pairPending = false;
}

bool CGattWidget::runPairDialog(const QString &titleSuffix, const QString &caption, const QString &number,
                                bool editable, QString *value, uint8_t *response)
{
    auto *dialog = new csmdilog(m_wire.dongleName() + titleSuffix, this);
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
    const GattRecordCodec::SecurityRequest request = GattRecordCodec::securityRequest(PageWire::payload(frame));
    if (!request.hasCondix || request.condix != m_condix)
        return;
    m_wire.logFrame(frame);
    if (request.error != GattRecordCodec::NoError) {
        m_wire.internalError(__LINE__, function);
        return;
    }
    const quint8 type = request.type;

    // One pairing question at a time; one that comes meanwhile is declined.
    if (type == GattRecordCodec::Encryption || type == GattRecordCodec::Passkey
        || type == GattRecordCodec::NumericComparison) {
        if (DialogOfAKind::refuseWhilePending(this, QLatin1String(PairingKind), m_link, m_logger,
                                              [&] { sendConfirmation(GattRecordCodec::declined(type, m_condix)); }))
            return;
    }

    QString value;
    uint8_t response = 0;
    if (type == GattRecordCodec::NumericComparison) {
        if (!runPairDialog(QStringLiteral(": Number Comparison"), QStringLiteral("Number Comparison"),
                           QStringLiteral("%1").arg(request.number, 6, 10, QLatin1Char('0')), false, &value,
                           &response))
            return;
        if (m_pairConfirm == 1)
            sendPairConfirm(GattRecordCodec::confirmation(type, response, m_condix));
        return;
    }
    if (type == GattRecordCodec::Passkey) {
        bool answered = false;
        if (request.role == GattRecordCodec::DisplayPasskey) {
            const quint32 passkey = QRandomGenerator::system()->bounded(1000000u);
            answered = runPairDialog(QStringLiteral(": Generate Passkey"), QStringLiteral("Generate Passkey"),
                                     QStringLiteral("%1").arg(passkey, 6, 10, QLatin1Char('0')), false, &value,
                                     &response);
        } else if (request.role == GattRecordCodec::EnterPasskey) {
            answered = runPairDialog(QStringLiteral(": Input Passkey"), QStringLiteral("Input Passkey"), QString(),
                                     true, &value, &response);
        } else {
            // Nothing this page knows how to answer.
            m_wire.internalError(__LINE__, function);
            return;
        }
        if (!answered || m_pairConfirm != 1)
            return;
        bool ok = false;
        const quint64 passkey = value.toULongLong(&ok, 10);
        sendPairConfirm(GattRecordCodec::passkeyConfirmation(response, quint32(ok ? passkey : 0), m_condix));
        return;
    }
    if (type == GattRecordCodec::Encryption) {
        emit sig_showDongleTab(m_wire.dongleName());
        const QPointer<CGattWidget> self(this);
        const int answer = CFlatMessage::ask(this, m_wire.dongleName() + QStringLiteral(": Make Pair"),
                                             QStringLiteral("Receive encryption request from the peer device"),
                                             QLatin1String(PairingKind));
        if (!self || answer == QMessageBox::Cancel)
            return;
        sendPairConfirm(GattRecordCodec::confirmation(type, answer == QMessageBox::Yes ? 1 : 0, m_condix));
    }
}

void CGattWidget::startingPairProc(const QByteArray &frame)
{
    PageWire::Fields fields;
    const PageWire::Result checked =
        m_wire.check(frame, __LINE__, QStringLiteral("CGattWidget::startingPairProc"), &fields,
                     PageWire::Form().status(QStringLiteral("result")).statusNames("en_PAIR_RESULT"));
    if (checked != PageWire::Succeeded && checked != PageWire::Failed)
        return;
    const QString title = m_wire.dongleName() + QStringLiteral(": Pair Result");
    if (checked == PageWire::Succeeded) {
        emit sig_showDongleTab(m_wire.dongleName());
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
                             + CCommand::enumText("en_PAIR_RESULT",
                                                  *PageWire::byteField(fields, QStringLiteral("result"))));
}

void CGattWidget::getLnkProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CGattWidget::getLnkProc");
    PageWire::Fields fields;
    if (m_wire.check(frame, __LINE__, function, &fields, PageWire::Form().noStatus()) != PageWire::Succeeded)
        return;
    const QByteArray key = fields.value(QStringLiteral("ltk"));
    if (key.size() != 16) {
        m_wire.internalError(__LINE__, function);
        return;
    }
    CFlatMessage::notify(this, m_wire.dongleName() + QStringLiteral(" Link Value"),
                         QStringLiteral("Link value number: ") + AttributeText::valueText(key));
}
