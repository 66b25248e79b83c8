#include "cconnectionwidget.h"
#include "cconnectionwidget_p.h"

#include <QPlainTextEdit>
#include <QTableView>
#include <QTime>
#include <QTreeWidget>

#include <algorithm>

#include "advdatadecoder.h"
#include "advertisingdata.h"
#include "ccommand.h"
#include "commandnames.h"
#include "cutil.h"
#include "devicestablemodel.h"
#include "lazypane.h"
#include "logger.h"
#include "logmanager.h"
#include "searchbox.h"
#include "scanpageform.h"

using namespace ScanningPage;

namespace {

// Key, "->", colon hex and two blanks for each field, in key order.
// Appended in place: the scan logs one such line for every report.
void appendFieldLine(QString &line, const QMap<QString, QByteArray> &fields)
{
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        line += it.key();
        line += QLatin1String("->");
        CUtil::appendHex(line, it.value(), ':');
        line += QLatin1String("  ");
    }
}

QString fieldLine(const QMap<QString, QByteArray> &fields)
{
    QString line;
    appendFieldLine(line, fields);
    return line;
}

void setUpDataTree(QTreeWidget *tree)
{
    tree->setColumnCount(2);
    tree->setColumnWidth(0, 270);
    tree->setColumnWidth(1, 80);
}

} // namespace

// ---------------------------------------------------------------------------
// Scan handlers

void CConnectionWidget::startScanProc(const QByteArray &frame)
{
    static const QString function = QStringLiteral("CConnectionWidget::startScanProc");
    // Fields are read by their place in the frame: a map per report cost a
    // third of the scan.
    const ReportLayout *layout = ReportLayout::of(frame);
    const ReportLayout::Check check = layout->check(m_logger, frame);
    if (check == ReportLayout::Check::Failed)
        return;
    if (check == ReportLayout::Check::NoFields) {
        m_logger->log(QStringLiteral("Scan response or adv msg is empty"), LogLevel::Debug);
        return;
    }
    const ScanReportFields at = ScanReportFields::of(layout);
    const int adField = at.adData;
    const ReportLayout::View classificationBytes = layout->view(frame, at.classification);
    const int classification = classificationBytes.size == 0 ? -1 : uchar(classificationBytes.data[0]);

    if (classification == 4) {
        const ReportLayout::View syncIndex = layout->view(frame, at.syncIndex);
        if (syncIndex.size != 1) {
            m_wire.internalError(1450, function);
            return;
        }
        QMap<QString, QByteArray> shown;
        for (const char *key : {"adv_data_response_data", "rssi", "tx_power"}) {
            const int field = layout->indexOf(QString::fromLatin1(key));
            if (field >= 0)
                shown.insert(layout->fields().at(field).key, layout->value(frame, field));
        }
        const QString text = QStringLiteral("Time:") + QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))
            + QStringLiteral("\r\nRaw Data: ") + QString::fromLatin1(frame.toHex())
            + QStringLiteral("\r\nField Data: ") + fieldLine(shown);
        // An entry without a view is as good as no entry.
        QPlainTextEdit *area = m_periodicSyncs.value(uchar(syncIndex.data[0])).textArea;
        if (!area) {
            m_logger->log(QStringLiteral("The sync index of periodic advertising is wrong."), LogLevel::Error);
            return;
        }
        area->appendPlainText(text);
        return;
    }

    // Written as bytes from the decoded layout straight into the log file's
    // buffer, and only when a log takes it.
    static constexpr char RawTitle[] = "Raw Data: ";
    static constexpr char FieldTitle[] = "\r\nField Data: ";
    const int lineBytes = int(sizeof RawTitle - 1) + 2 * frame.size() + int(sizeof FieldTitle - 1)
        + layout->fieldLineBytes(frame);
    if (char *out = m_logger->beginLine(LogLevel::Debug, lineBytes)) {
        out = std::copy_n(RawTitle, sizeof RawTitle - 1, out);
        out = CUtil::writeHex(out, frame.constData(), frame.size());
        out = std::copy_n(FieldTitle, sizeof FieldTitle - 1, out);
        m_logger->endLine(layout->writeFieldLine(out, frame));
    }

    // The report's data starts after two leading bytes; fewer than two give
    // no data at all.
    const ReportLayout::View reportData = layout->view(frame, adField);
    const QByteArray adData = reportData.size > 2 ? QByteArray(reportData.data + 2, reportData.size - 2) : QByteArray();

    QVector<AdStructure> structures;
    if (!AdvertisingData::split(adData, &structures))
        m_wire.internalError(1470, function);
    const QByteArray name = AdvertisingData::localName(structures);

    static const QString nameKey = QStringLiteral("device");
    static const QString advTypeKey = QStringLiteral("adv_type");
    static const QString phyKey = QStringLiteral("phy_second");
    const QByteArray legacyPhy = CUtil::sharedBytes("\x0C", 1);
    const ReportLayout::View interval = layout->view(frame, at.interval);
    const bool periodic = std::any_of(interval.data, interval.data + interval.size, [](char c) { return c != 0; });
    const auto markSyncable = [](DeviceRecord &record) {
        QByteArray type = record.value(advTypeKey);
        if (!type.isEmpty()) {
            type[0] = char(uchar(type.at(0)) | 0x10);
            record.insert(advTypeKey, type);
        }
    };

    const QByteArray addr = layout->raw(frame, at.addr);
    const QByteArray addrType = layout->raw(frame, at.addrType);
    const int row = m_discovery.find(addr, addrType);
    if (row >= 0) {
        // Taken out of the table rather than copied, so the update below
        // does not copy the row first.
        DeviceRecord record = m_discovery.take(row);
        if (classification == 0 || classification == 1) {
            record.mergeReport(layout, frame, adField, -1);
            if (!name.isEmpty())
                record.insert(nameKey, name);
            if (classification == 1)
                record.insert(phyKey, legacyPhy);
            record.insert(QStringLiteral("adv_data"), adData);
            if (periodic)
                markSyncable(record);
        } else if (classification == 2 || classification == 3) {
            record.mergeReport(layout, frame, adField, at.advType);
            if (!name.isEmpty())
                record.insert(nameKey, name);
            if (classification == 3)
                record.insert(phyKey, legacyPhy);
            record.insert(QStringLiteral("response_data"), adData);
        }
        devicesModel()->updateItem(row, record);
        return;
    }

    DeviceRecord record = DeviceRecord::fromReport(layout, frame, adField);
    record.insert(nameKey, name.isEmpty() ? QByteArrayLiteral("Peer Device") : name);
    if (classification == 0 || classification == 1) {
        record.insert(QStringLiteral("adv_data"), adData);
        if (classification == 1)
            record.insert(phyKey, legacyPhy);
    } else if (classification == 2 || classification == 3) {
        record.insert(QStringLiteral("response_data"), adData);
        if (classification == 3)
            record.insert(phyKey, legacyPhy);
    }
    record.insert(QStringLiteral("connected"), CUtil::sharedBytes("\0", 1));
    if (periodic)
        markSyncable(record);
    addDevice(record);
}

void CConnectionWidget::startScanResultProc(const QByteArray &frame)
{
    m_scanStartPending = false;
    if (m_wire.check(frame, 1560, QStringLiteral("CConnectionWidget::startScanResultProc"))
        != PageWire::Succeeded)
        return;
    ui->buttonScan->setText(kStopScan);
    ui->buttonScan->setToolTip(kStopScan);
    ui->buttonScan->setIcon(QIcon(QStringLiteral(":/icons/stopscan.png")));
    m_isScanning = true;
}

void CConnectionWidget::stopScanProc(const QByteArray &frame)
{
    if (m_wire.check(frame, 1590, QStringLiteral("CConnectionWidget::stopScanProc")) != PageWire::Succeeded)
        return;
    ui->buttonScan->setText(kStartScan);
    ui->buttonScan->setToolTip(kStartScan);
    ui->buttonScan->setIcon(QIcon(QStringLiteral(":/icons/scan.png")));
    m_isScanning = false;
}

void CConnectionWidget::stopScanAndSyncs()
{
    if (m_isScanning || m_scanStartPending)
        sendCommand(QString::fromLatin1(CMD_STOP_SCAN), nullptr, nullptr);
    for (const uchar syncIndex : m_periodicSyncs.keys()) {
        if (syncIndex == kDefaultSyncIndex)
            continue;
        // One command both cancels a sync being made and ends one made.
        QMap<QString, QVariant> values{{QStringLiteral("index"), int(syncIndex)}};
        sendCommand(QString::fromLatin1(CMD_LE_PERIODIC_ADVERTISING_CREATE_SYNC_STOP), &values, nullptr);
    }
}

void CConnectionWidget::showAdvRawData(const QByteArray &advData, const QByteArray &scanRspData)
{
    m_chosenData.advertising = advData;
    m_chosenData.scanResponse = scanRspData;
    m_chosenData.chosen = true;
    m_chosenData.advertisingDecoded = true;
    fillAdvertisingPane();
    fillScanResponsePane();
}

void CConnectionWidget::fillAdvertisingPane()
{
    if (m_chosenData.chosen && m_advertisingPane->isBuilt())
        fillDataPane(m_chosenData.advertising, ui->labelAdv, ui->rawData_advertising, ui->treeWidget_advertising,
                     m_chosenData.advertisingDecoded);
}

void CConnectionWidget::fillScanResponsePane()
{
    if (m_chosenData.chosen && m_scanResponsePane->isBuilt())
        fillDataPane(m_chosenData.scanResponse, ui->labelScan, ui->rawData_scanRsp, ui->treeWidget_scanRsp, true);
}

void CConnectionWidget::fillDataPane(const QByteArray &data, QLabel *label, QTextBrowser *raw, QTreeWidget *tree,
                                     bool decoded)
{
    raw->setPlainText(CUtil::colonHex(data));
    label->setText(QStringLiteral("raw data(") + QString::number(data.size()) + QStringLiteral(")"));
    if (decoded)
        decodeAdvData(tree, data);
}

void CConnectionWidget::buildAdvertisingPane(QWidget *pane)
{
    ui->Ui_ScanAdvertisingPane::setupUi(pane);
    setUpDataTree(ui->treeWidget_advertising);
    fillAdvertisingPane();
}

void CConnectionWidget::buildScanResponsePane(QWidget *pane)
{
    ui->Ui_ScanResponsePane::setupUi(pane);
    setUpDataTree(ui->treeWidget_scanRsp);
    fillScanResponsePane();
}

void CConnectionWidget::decodeAdvData(QTreeWidget *tree, const QByteArray &data)
{
    AdvDataDecoder::decode(tree, data, m_adTypeNames, m_logger);
}

// ---------------------------------------------------------------------------
// User actions: scanning and choosing a device

void CConnectionWidget::on_buttonScan_clicked()
{
    refreshSettings();
    if (ui->buttonScan->text() == kStartScan) {
        if (!sendCommand(QString::fromLatin1(CMD_5_0_START_SCAN), &m_settings, nullptr))
            return;
        m_scanStartPending = true;
        ui->buttonConnect->setEnabled(false);
        ui->buttonConnect->setText(kConnect);
        ui->buttonConnect->setToolTip(kConnect);
        ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/connect.png")));
        ui->buttonAddToWhiteList->setEnabled(false);
        m_discovery.clear();
        if (m_settings.value(QStringLiteral("type")).toUInt() == 1) {
            ui->buttonSync->setEnabled(true);
            m_periodicSyncType = 1;
        } else {
            m_periodicSyncType = 0;
        }
        return;
    }
    sendCommand(QString::fromLatin1(CMD_STOP_SCAN), nullptr, nullptr);
}

void CConnectionWidget::onTableView_devicesClicked(const QModelIndex &index)
{
    devicesModel()->setCurrentIndex(QModelIndex());
    if (m_periodicSyncType == 1 && !index.isValid()) {
        ui->buttonScan->setEnabled(true);
        ui->tableView_devices->setEnabled(true);
    }
    if (!index.isValid() || index.row() >= devices().size()) {
        m_logger->log(QStringLiteral("CConnectionWidget::onTableView_devices:Clicked index is not valid."), LogLevel::Debug);
        return;
    }
    const DeviceRecord &device = devices().at(index.row());
    const QByteArray advType = device.value(QStringLiteral("adv_type"));
    if (advType.size() != 1) {
        m_logger->log(QStringLiteral("CConnectionWidget::onTableView_devices:the length of advType is wrong."), LogLevel::Debug);
        return;
    }
    const uchar type = uchar(advType.at(0));

    bool connecting = false;
    if (m_autoConnect) {
        ui->buttonConnect->setEnabled(false);
    } else if (type & 0x02) {
        ui->buttonConnect->setEnabled(true);
        const QByteArray connected = device.value(QStringLiteral("connected"));
        if (connected.size() != 1) {
            m_wire.internalError(1231, QStringLiteral("CConnectionWidget::onTableView_devicesClicked"));
            return;
        }
        switch (connected.at(0)) {
        case 0:
            ui->buttonConnect->setText(kConnect);
            ui->buttonConnect->setToolTip(kConnect);
            ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/connect.png")));
            break;
        case 1:
            ui->buttonConnect->setText(kCancel);
            ui->buttonConnect->setToolTip(kCancel);
            ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/cancelConnect.png")));
            connecting = true;
            break;
        case 2:
            ui->buttonConnect->setText(kDisconnect);
            ui->buttonConnect->setToolTip(kDisconnect);
            ui->buttonConnect->setIcon(QIcon(QStringLiteral(":/icons/disconnect.png")));
            break;
        default:
            break;
        }
    } else {
        ui->buttonConnect->setEnabled(false);
    }

    if (device.value(QStringLiteral("adv_classification")).size() != 1)
        m_logger->log(QStringLiteral("The lenth of advClassification is wrong"), LogLevel::Debug);

    if (type & 0x10)
        ui->buttonSync->setEnabled(ui->buttonScan->text() != kStartScan);
    else
        ui->buttonSync->setEnabled(false);

    ui->buttonScan->setEnabled(!connecting);
    ui->buttonAddToWhiteList->setEnabled(!connecting);
    ui->tableView_devices->setEnabled(!connecting);
    ui->buttonSync->setEnabled(ui->buttonSync->isEnabled() && !connecting);
    if (m_periodicSyncType == 1)
        ui->buttonSync->setEnabled(true);

    showAdvRawData(device.value(QStringLiteral("adv_data")), device.value(QStringLiteral("response_data")));
}

// ---------------------------------------------------------------------------
// Searching the discovery table

void CConnectionWidget::on_buttonSearch_clicked()
{
    if (!m_searchBox) {
        m_searchBox = new SearchBox(this);
        connect(m_searchBox, &SearchBox::searchPrevious, this, &CConnectionWidget::on_searchPrevious);
        connect(m_searchBox, &SearchBox::searchNext, this, &CConnectionWidget::on_searchNext);
    }
    m_searchBox->show();
    m_searchBox->m_matchRow = -1;
    m_searchBox->m_matchColumn = -1;
}

void CConnectionWidget::on_searchNext(SearchBox *sb)
{
    search(sb, true);
}

void CConnectionWidget::on_searchPrevious(SearchBox *sb)
{
    search(sb, false);
}

void CConnectionWidget::search(SearchBox *sb, bool forward)
{
    if (!sb)
        return;
    const QString text = sb->text();
    // A match must be a row the view already has.
    devicesModel()->announceNow();
    devicesModel()->setSearchText(text);
    const QString needle = text.toLower();
    const int rows = devices().size();
    const int columns = devicesModel()->columnCount();

    const auto matches = [&](int row, int column) {
        return devicesModel()->cellText(row, column).toLower().contains(needle);
    };
    const auto columnLimit = [&](int row) { return qMin(columns, devices().at(row).size()); };

    int foundRow = -1;
    int foundColumn = -1;
    if (forward) {
        for (int row = 0; row < rows && foundRow < 0; ++row) {
            if (row < sb->m_matchRow)
                continue;
            for (int column = 0; column < columnLimit(row); ++column) {
                const bool after = row > sb->m_matchRow || column > sb->m_matchColumn;
                if (after && matches(row, column)) {
                    foundRow = row;
                    foundColumn = column;
                    break;
                }
            }
        }
    } else {
        for (int row = rows - 1; row >= 0 && foundRow < 0; --row) {
            if (row > sb->m_matchRow)
                continue;
            for (int column = columnLimit(row) - 1; column >= 0; --column) {
                const bool before = row < sb->m_matchRow || column < sb->m_matchColumn;
                if (before && matches(row, column)) {
                    foundRow = row;
                    foundColumn = column;
                    break;
                }
            }
        }
    }

    if (foundRow < 0) {
        if (text != sb->m_matchText)
            devicesModel()->setCurrentIndex(QModelIndex());
        return;
    }
    sb->m_matchText = text;
    sb->m_matchRow = foundRow;
    sb->m_matchColumn = foundColumn;
    const QModelIndex match = devicesModel()->index(foundRow, foundColumn);
    QTableView *view = ui->tableView_devices;
    view->scrollTo(match);
    // The match becomes the chosen row, so Connect, the lists, Sync and the
    // data panes act on the device the user sees. A table locked by a
    // connection attempt keeps its row, as it would against a click.
    if (view->isEnabled()) {
        view->setCurrentIndex(match);
        onTableView_devicesClicked(match);
    }
    devicesModel()->setCurrentIndex(match);
}

// A full table makes room first; the view's row and the search's match
// follow their devices.
void CConnectionWidget::addDevice(const DeviceRecord &record)
{
    DiscoveryTable::HeldRows held;
    held.current = currentDeviceRow();
    held.searchMatch = m_searchBox ? m_searchBox->m_matchRow : -1;
    const int column = ui->tableView_devices->currentIndex().column();
    if (!m_discovery.add(record, &held))
        return;
    // Many scattered rows leave in one reset, which forgets the view's row.
    if (held.current >= 0) {
        const QModelIndex moved = devicesModel()->index(held.current, column);
        if (ui->tableView_devices->currentIndex() != moved)
            ui->tableView_devices->setCurrentIndex(moved);
    }
    // The next search goes on from where the last match is now.
    if (held.searchMatch >= 0)
        m_searchBox->m_matchRow = held.searchMatch;
}
