#include "cgattwidget.h"
#include "ui_cgattwidget.h"

#include "attributetext.h"
#include "ccommand.h"
#include "cgattcmddlg.h"
#include "cmsg.h"
#include "cutil.h"
#include "gatttablemodel.h"
#include "logger.h"
#include "logmanager.h"
#include "treemodel.h"

#include <QHeaderView>

namespace {

enum ViewMode { CategoryView = 0, SimpleView = 1 };

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

    m_cmdDlg = new CGattCmdDlg(m_link, m_logger, m_condix, this);
    ui->gattTabWidget->insertTab(1, m_cmdDlg, QStringLiteral("Send Commands"));
    ui->toolButton_pair->setEnabled(true);

    connect(m_cmdDlg, &CGattCmdDlg::sig_sendDicoverCmd, this, &CGattWidget::onSendDicoverCmd);
    if (m_link) {
        connect(m_link, &CMsg::sig_rcvGattMsg, this, &CGattWidget::onRcvMsg);
        connect(m_link, &CMsg::sig_rcvSmMsg, this, &CGattWidget::onRcvMsg);
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
    const int widths[] = {120, 120, 160, 300, 120};
    for (int column = 0; column < AttributeText::ColumnCount; ++column)
        ui->treeView->setColumnWidth(column, widths[column]);
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
}

void CGattWidget::lastSDKProc(const QByteArray &frame)
{
    if (m_isCurrentTab)
        CCommand::lastSDKProc(m_logger, frame);
}

bool CGattWidget::parseOwnEvent(const QByteArray &frame, QMap<QString, QByteArray> &fields)
{
    if (CCommand::parseUpLinkCmd(m_logger, frame, fields) != 0)
        return false;
    CCommand::uplinkMsgToLog(m_logger, frame, fields);
    const QByteArray condix = fields.value(QStringLiteral("condix"));
    return !condix.isEmpty() && quint8(condix.at(0)) == m_condix;
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

void CGattWidget::discoverAllServiceProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    quint16 handle = 0;
    if (!parseOwnEvent(frame, fields) || !readHandle(fields.value(QStringLiteral("start_handle")), &handle))
        return;
    storeEntry(declarationEntry(handle, 0x2800,
                                fields.value(QStringLiteral("start_handle")) + fields.value(QStringLiteral("end_handle"))
                                    + fields.value(QStringLiteral("service_UUID"))));
    scheduleTableRebuild(true);
}

void CGattWidget::discoverAllIncludeProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    quint16 handle = 0;
    if (!parseOwnEvent(frame, fields) || !readHandle(fields.value(QStringLiteral("attr_hdl")), &handle))
        return;
    storeEntry(declarationEntry(handle, 0x2802,
                                fields.value(QStringLiteral("start_handle")) + fields.value(QStringLiteral("end_handle"))
                                    + fields.value(QStringLiteral("service_UUID"))));
    scheduleTableRebuild(true);
}

void CGattWidget::discoverAllCharacteristicProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    quint16 handle = 0;
    if (!parseOwnEvent(frame, fields) || !readHandle(fields.value(QStringLiteral("handle")), &handle))
        return;
    storeCharacteristic(declarationEntry(handle, 0x2803,
                                         fields.value(QStringLiteral("properties"))
                                             + fields.value(QStringLiteral("value_handle"))
                                             + fields.value(QStringLiteral("char_UUID"))));
    scheduleTableRebuild(true);
}

void CGattWidget::discoverAllDescriptorProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    quint16 handle = 0;
    if (!parseOwnEvent(frame, fields) || !readHandle(fields.value(QStringLiteral("handle")), &handle))
        return;
    AttributeInfo entry;
    entry.valid = 1;
    entry.handle = handle;
    entry.uuid = fields.value(QStringLiteral("descriptor_UUID"));
    if (entry.uuid.size() <= 4) {
        quint64 number = 0;
        CUtil::arrayToValue(0, entry.uuid, &number);
        entry.uuidDescription = AttributeText::uuidDescription(quint32(number));
    }
    if (entry.uuid.size() < 16)
        entry.uuid.append(QByteArray(16 - entry.uuid.size(), '\0'));
    storeEntry(entry);
    scheduleTableRebuild(false);
}

void CGattWidget::discoverAllEndProc(const QByteArray &frame)
{
    QMap<QString, QByteArray> fields;
    // Only this connection's end ends this page's batch: another
    // connection's discovery says nothing about ours.
    if (!parseOwnEvent(frame, fields))
        return;
    setBatchControlsEnabled(true);
    m_treeModel->setupModelData();
    m_rebuildWithValueRows = true;
    rebuildTable();
    ui->treeView->expandAll();
}
