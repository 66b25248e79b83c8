#include "cconnectionwidget.h"

#include <QPlainTextEdit>
#include <QTreeWidget>

#include "deviceperiodiclistmodel.h"
#include "devicestablemodel.h"
#include "searchbox.h"
#include "ui_cconnectionwidget.h"

CConnectionWidget::CConnectionWidget(CMsg *link, LogManager *logger,
                                     QMap<QString, QVariant> *settings,
                                     const QString &dongleName, QWidget *parent)
    : QWidget(parent),
      ui(new Ui_ConnectionWidget),
      m_link(link),
      m_logger(logger),
      m_dongleSettings(settings),
      m_dongleName(&dongleName)
{
    ui->setupUi(this);
    ui->buttonCIGCIS->hide();
    ui->buttonMasterBIG->hide();
    m_devicesModel = new DevicesTableModel(m_logger);
    m_devicesModel->setItems(&m_devices);
    m_whiteListModel = new DeviceListModel(m_logger);
    m_bondListModel = new DeviceListModel(m_logger);
    m_periodicListModel = new DevicePeriodicListModel(m_logger);
    m_rpaListModel = new DeviceRpaListModel(m_logger);
    ui->tableView_devices->setModel(m_devicesModel);
    applyWhiteListLayout();
    m_searchBox = new SearchBox(this);
    PeriodicSyncEntry entry;
    entry.textArea = createPeriodicTextArea();
    m_periodicSyncs.insert(0xFF, entry);
    ui->verticalLayout_periodicAdv->addWidget(entry.textArea);
    refreshSettings();
}

CConnectionWidget::~CConnectionWidget()
{
    m_devicesModel->clear();
    delete m_devicesModel;
    delete m_whiteListModel;
    delete m_bondListModel;
    delete m_periodicListModel;
    delete m_rpaListModel;
    delete ui;
}

void CConnectionWidget::reset()
{
}

bool CConnectionWidget::isAutoConnecting() const
{
    return ui->buttonAutoConnect->text() == QLatin1String("Cancel Auto Connect");
}

bool CConnectionWidget::hasConnection() const
{
    return !m_openCondix.isEmpty();
}

bool CConnectionWidget::isScanning() const
{
    return m_isScanning;
}

bool CConnectionWidget::isSyncing() const
{
    return !(m_periodicSyncs.size() == 1 && m_periodicSyncs.contains(0xFF));
}

void CConnectionWidget::setCigCisOpened(bool opened)
{
    m_cigCisOpened = opened;
}

bool CConnectionWidget::isCigCisOpened() const
{
    return m_cigCisOpened;
}

void CConnectionWidget::refreshSettings()
{
    if (!m_dongleSettings)
        return;
    for (auto it = m_dongleSettings->cbegin(); it != m_dongleSettings->cend(); ++it)
        m_settings.insert(it.key(), it.value());
}

void CConnectionWidget::applyWhiteListLayout()
{
    showWhiteListView();
}

void CConnectionWidget::showWhiteListView()
{
    ui->tableView_deviceList->setModel(m_whiteListModel);
}

void CConnectionWidget::showAdvRawData(const QByteArray &, const QByteArray &) {}
void CConnectionWidget::decodeAdvData(QTreeWidget *, const QByteArray &) {}

QPlainTextEdit *CConnectionWidget::periodicTextArea(uchar syncIndex) const
{
    return m_periodicSyncs.value(syncIndex).textArea;
}

quint16 CConnectionWidget::periodicSyncHandle(uchar syncIndex) const
{
    return m_periodicSyncs.value(syncIndex).syncHandle;
}

QPlainTextEdit *CConnectionWidget::createPeriodicTextArea()
{
    auto *area = new QPlainTextEdit(this);
    area->setReadOnly(true);
    area->setMaximumBlockCount(1000);
    return area;
}

void CConnectionWidget::on_buttonScan_clicked() {}
void CConnectionWidget::on_buttonConnect_clicked() {}
void CConnectionWidget::on_buttonSync_clicked() {}
void CConnectionWidget::on_buttonAddToWhiteList_clicked() {}
void CConnectionWidget::on_buttonAutoConnect_clicked() {}
void CConnectionWidget::on_buttonCIGCIS_clicked() {}
void CConnectionWidget::on_buttonMasterBIG_clicked() {}
void CConnectionWidget::on_buttonSearch_clicked() {}
void CConnectionWidget::on_deviceListType_currentIndexChanged(int) {}
void CConnectionWidget::on_deviceListAdd_clicked() {}
void CConnectionWidget::on_deviceListDelete_clicked() {}
void CConnectionWidget::on_deviceListClear_clicked() {}
void CConnectionWidget::on_deviceListRefresh_clicked() {}
void CConnectionWidget::on_devicePrivacyModeUpdate_clicked() {}
void CConnectionWidget::onTableView_devicesClicked(const QModelIndex &) {}
void CConnectionWidget::on_comboBox_peerAddr_currentIndexChanged(int) {}
void CConnectionWidget::onRcvMsg(QByteArray) {}
void CConnectionWidget::on_openAutoConnect(bool autoConnect)
{
    m_autoConnect = autoConnect;
}
void CConnectionWidget::on_masterCondixChanged() {}
void CConnectionWidget::onPeriodicAdvDataClear() {}
void CConnectionWidget::on_m_tbStopSync_clicked() {}
void CConnectionWidget::onPeriodicAdvDataSave() {}
void CConnectionWidget::on_searchPrevious(SearchBox *) {}
void CConnectionWidget::on_searchNext(SearchBox *) {}
