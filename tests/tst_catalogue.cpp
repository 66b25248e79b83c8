#include "ccfgfileparse.h"
#include "commandnames.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const QString EMBEDDED = QStringLiteral(":/config/resources/conf/");
const QStringList CATALOGUE_FILES = {
    QStringLiteral("up_link_command.xml"), QStringLiteral("down_link_command.xml"),
    QStringLiteral("up_link_ui.xml"),      QStringLiteral("down_link_ui.xml"),
    QStringLiteral("advertising_data.xml"),
};
const char CHILD_FOLDER_VARIABLE[] = "TST_CATALOGUE_LOAD_FOLDER";

// A catalogue loaded from a folder of our own instead of the embedded files.
class FolderCatalogue : public CCfgFileParse
{
public:
    explicit FolderCatalogue(const QString &folder)
        : CCfgFileParse(folder, nullptr)
    {
    }
};

// Records failures instead of ending the program, for as long as it lives.
class FailureRecorder
{
public:
    FailureRecorder()
    {
        m_previous = CCfgFileParse::setLoadFailureHandler([this](const QString &path) { paths.append(path); });
    }
    ~FailureRecorder() { CCfgFileParse::setLoadFailureHandler(m_previous); }
    QStringList paths;

private:
    CCfgFileParse::LoadFailureHandler m_previous;
};

// "key index/length, ..." so that a wrong layout shows in the failure message.
QString describe(const QVector<CmdFieldInfo> &fields)
{
    QStringList parts;
    for (const CmdFieldInfo &field : fields)
        parts << QStringLiteral("%1 %2/%3").arg(field.key).arg(field.index).arg(field.length);
    return parts.join(QStringLiteral(", "));
}

const UiComponentFields *findForm(const QVector<UiComponentFields> &forms, const QString &name)
{
    for (const UiComponentFields &form : forms)
        if (form.name == name)
            return &form;
    return nullptr;
}

const UiFieldInfo *findField(const QVector<UiFieldInfo> &fields, const QString &key)
{
    for (const UiFieldInfo &field : fields)
        if (field.key == key)
            return &field;
    return nullptr;
}

QString attribute(const UiFieldInfo &field, const QString &name)
{
    const QMap<QString, QString> texts = {
        {QStringLiteral("key"), field.key},
        {QStringLiteral("title"), field.title},
        {QStringLiteral("type"), field.type},
        {QStringLiteral("subType"), field.subType},
        {QStringLiteral("length"), field.length},
        {QStringLiteral("maxLength"), field.maxLength},
        {QStringLiteral("min"), field.min},
        {QStringLiteral("max"), field.max},
        {QStringLiteral("singleStep"), field.singleStep},
        {QStringLiteral("precision"), field.precision},
        {QStringLiteral("defaultValue"), field.defaultValue},
    };
    Q_ASSERT(texts.contains(name));
    return texts.value(name);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

bool copyEmbeddedCatalogue(const QString &folder)
{
    for (const QString &name : CATALOGUE_FILES) {
        const QString target = folder + QLatin1Char('/') + name;
        if (!QFile::copy(EMBEDDED + name, target))
            return false;
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    return true;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    // Runs first, so that the threads race for the first construction.
    void instanceIsCreatedOnceAcrossThreads()
    {
        std::vector<std::thread> threads;
        std::vector<CCfgFileParse *> seen(8, nullptr);
        for (size_t i = 0; i < seen.size(); ++i)
            threads.emplace_back([&seen, i] { seen[i] = CCfgFileParse::instance(); });
        for (std::thread &thread : threads)
            thread.join();
        for (CCfgFileParse *catalogue : seen)
            QCOMPARE(catalogue, CCfgFileParse::instance());
        QVERIFY(CCfgFileParse::instance() != nullptr);
    }

    void filesAreEmbeddedUnderTheirPaths_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &name : CATALOGUE_FILES)
            QTest::newRow(qPrintable(name)) << EMBEDDED + name;
    }

    void filesAreEmbeddedUnderTheirPaths()
    {
        QFETCH(QString, path);
        CCfgFileParse::instance();
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QVERIFY(file.size() > 0);
    }

    void tableSizes_data()
    {
        QTest::addColumn<int>("actual");
        QTest::addColumn<int>("expected");
        const CCfgFileParse *c = CCfgFileParse::instance();
        QTest::newRow("downlink names") << c->m_downlinkNameToIdMap.size() << 130;
        QTest::newRow("downlink IDs") << c->m_downlinkIdToNameMap.size() << 130;
        QTest::newRow("downlink layouts") << c->m_downlinkIdToFieldsMap.size() << 130;
        QTest::newRow("uplink IDs") << c->m_uplinkIdToNameMap.size() << 228;
        QTest::newRow("uplink layouts") << c->m_uplinkIdToFieldsMap.size() << 228;
        QTest::newRow("uplink names") << c->m_uplinkNameToIdMap.size() << 146;
        QTest::newRow("advertising commands") << c->m_advDataMap.size() << 1;
        QTest::newRow("advertising data types") << c->m_advDataMap.value(QStringLiteral("advertising_data")).size() << 11;
        QTest::newRow("downlink forms") << c->m_downlinkNameToUiVec.size() << 45;
        QTest::newRow("downlink form components") << c->m_downlinkUiComponentVec.size() << 45;
        QTest::newRow("uplink forms") << c->m_uplinkNameToUiVec.size() << 5;
        QTest::newRow("uplink form components") << c->m_uplinkUiComponentVec.size() << 5;
    }

    void tableSizes()
    {
        QFETCH(int, actual);
        QFETCH(int, expected);
        QCOMPARE(actual, expected);
    }

    void downlinkCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("fields");
        QTest::newRow("no fields") << CMD_RESET << "00@01" << "";
        QTest::newRow("legacy connect") << CMD_CONNECT << "01@05"
                                        << "interval_min 4/2, interval_max 6/2, conn_own_addr_type 8/1, "
                                           "conn_latency 9/2, supervision_timeout 11/2, filter_policy 13/1, "
                                           "addr 14/6, addr_type 20/1";
        QTest::newRow("extended scan") << CMD_5_0_START_SCAN << "01@3D"
                                       << "5_0_scan_type 4/1, 5_0_scan_properties 5/1, 5_0_scan_interval_1m 6/2, "
                                          "5_0_scan_window_1m 8/2, 5_0_scan_interval_coded 10/2, "
                                          "5_0_scan_window_coded 12/2, 5_0_scan_duration 14/2, 5_0_scan_period 16/2, "
                                          "5_0_scan_duplicate_filter_policy 18/1, 5_0_scan_own_addr_type 19/1";
        QTest::newRow("written once") << CMD_DISCONNECT << "01@07" << "condix 4/1";
        QTest::newRow("free length last") << CMD_SEND_SDU << "04@03"
                                          << "local_cid 4/2, data_len 6/2, condix 8/1, data 9/0";
        QTest::newRow("whole payload") << CMD_SET_PROFILE_ID << "05@03" << "profile 4/0";
        QTest::newRow("keys with spaces") << CMD_START_LCP_MODE << "09@01"
                                          << "Protocol Mode 4/1, Tx Power 5/1, Channel Index 6/1, Frequency 7/4, "
                                             "Access Address 11/4, Crc Init 15/4";
        QTest::newRow("sync to big") << CMD_BIG_CREATE_SYNC << "06@09"
                                     << "big_id 4/1, sync_handle 5/2, num_bis 7/1, encryption 8/1, "
                                        "broadcastcode 9/16, mse 25/1, big_sync_timeout 26/2, bis 28/0";
        QTest::newRow("heartbeat") << CMD_HEART_BEAT_DETECT << "01@84" << "";
        QTest::newRow("last in file") << CMD_IDT_STOP_TRANSMIT << "0A@07" << "";
    }

    void downlinkCommands()
    {
        QFETCH(QString, name);
        QFETCH(QString, id);
        QFETCH(QString, fields);
        const CCfgFileParse *c = CCfgFileParse::instance();
        QCOMPARE(c->m_downlinkNameToIdMap.value(name), id);
        QCOMPARE(c->m_downlinkIdToNameMap.value(id), name);
        QVERIFY(c->m_downlinkIdToFieldsMap.contains(id));
        QCOMPARE(describe(c->m_downlinkIdToFieldsMap.value(id)), fields);
    }

    void uplinkMessages_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("fields");
        QTest::newRow("unknown acknowledgement") << "BB@01@01" << "" << "";
        QTest::newRow("acknowledgement") << "BB@01@3D" << CMD_START_EXTENDED_SCAN << "";
        QTest::newRow("reset event") << "CC@00@02" << CMD_RESET << "";
        QTest::newRow("event without fields") << "DD@01@0E" << CMD_GET_WHILTELIST << "";
        QTest::newRow("advertising report") << "DD@01@02" << CMD_START_EXTENDED_SCAN
                                            << "addr 4/6, addr_type 10/1, tx_power 11/1, rssi 12/1, adv_type 13/1, "
                                               "adv_classification 14/1, phy_prim 15/1, phy_second 16/1, "
                                               "adv_sid 17/1, period_adv_intv 18/2, per_sync_idx 20/1, "
                                               "adv_data_response_data 21/0";
        QTest::newRow("connection") << "DD@01@06" << CMD_EXTENDED_CONNECT
                                    << "status 4/1, connected 5/1, condix 6/1, con_interval 7/2, con_latency 9/2, "
                                       "sup_to 11/2, clk_accuracy 13/1, addr_type 14/1, addr 15/6, role 21/1";
        QTest::newRow("cis established, later entry wins")
            << "DD@06@03" << CMD_ACCEPT_CIS_ESTABLISHED
            << "status 4/1, cis_connection_handle 5/2, cig_sync_delay 7/4, cis_sync_delay 11/4, "
               "transport_latency_m2s 15/4, transport_latency_s2m 19/4, phy_m2s 23/1, phy_s2m 24/1";
        QTest::newRow("channel map result") << "DD@01@6A" << CMD_CHANNEL_MAP_SET << "status 4/1";
        QTest::newRow("test mode acknowledgement") << "BB@09@01" << CMD_START_LCP_MODE << "status 4/1";
        QTest::newRow("idt acknowledgement") << "BB@0A@07" << CMD_IDT_STOP_TRANSMIT << "status 4/1";
        QTest::newRow("lcp received") << "DD@09@05" << CMD_LCP_START_RECEIVE << "Header 4/1, Length 5/1, contain 6/0";
        QTest::newRow("iso data") << "DD@06@0F" << CMD_RECEIVE_ISO_DATA
                                  << "connection_handle 4/2, time_stamp 6/4, packet_sn 10/2, packet_status 12/1, "
                                     "data_length 13/2, data 15/0";
        QTest::newRow("link key") << "DD@02@0A" << CMD_GATT_GET_LNK << "ltk 4/16, condix 20/1";
    }

    void uplinkMessages()
    {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(QString, fields);
        const CCfgFileParse *c = CCfgFileParse::instance();
        QCOMPARE(c->m_uplinkIdToNameMap.value(id), name);
        QCOMPARE(c->m_uplinkIdToFieldsMap.contains(id), !name.isEmpty());
        QCOMPARE(describe(c->m_uplinkIdToFieldsMap.value(id)), fields);
    }

    void uplinkNameGivesItsLastId_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("id");
        QTest::newRow("reset") << CMD_RESET << "CC@00@02";
        QTest::newRow("three entries") << CMD_START_EXTENDED_SCAN << "DD@01@02";
        QTest::newRow("shared event, earlier name") << CMD_CREATE_CIS << "DD@06@03";
        QTest::newRow("shared event, later name") << CMD_ACCEPT_CIS_ESTABLISHED << "DD@06@03";
        QTest::newRow("acknowledgement only") << CMD_HEART_BEAT_DETECT << "BB@01@84";
        QTest::newRow("iso data") << CMD_RECEIVE_ISO_DATA << "DD@06@0F";
    }

    void uplinkNameGivesItsLastId()
    {
        QFETCH(QString, name);
        QFETCH(QString, id);
        QCOMPARE(CCfgFileParse::instance()->m_uplinkNameToIdMap.value(name), id);
    }

    // The file itself, not the tables (where a later entry hides an earlier
    // one): which uplink entries carry fields.
    void uplinkEntriesWithFieldsInTheFile()
    {
        QFile file(EMBEDDED + QStringLiteral("up_link_command.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&file));
        int withFields = 0;
        int entries = 0;
        QStringList sharedEvent;
        for (QDomElement command = document.documentElement().firstChildElement(); !command.isNull();
             command = command.nextSiblingElement()) {
            ++entries;
            const bool hasFields = !command.firstChildElement().isNull();
            withFields += hasFields ? 1 : 0;
            if (command.attribute(QStringLiteral("ID")) == QLatin1String("DD@06@03"))
                sharedEvent << command.attribute(QStringLiteral("name")) + (hasFields ? " fields" : " none");
        }
        QCOMPARE(entries, 229);
        // The listed layouts plus the status of the channel map result.
        QCOMPARE(withFields, 102);
        QCOMPARE(sharedEvent, (QStringList{"Create CIS none", "Accept CIS Established fields"}));
    }

    void idsAreWellFormed()
    {
        const CCfgFileParse *c = CCfgFileParse::instance();
        const QRegularExpression downlink(QStringLiteral("^(00|01|02|03|04|05|06|09|0A)@[0-9A-F]{2}$"));
        const QRegularExpression uplink(QStringLiteral("^(BB|CC|DD)@(00|01|02|03|04|05|06|07|09|0A)@[0-9A-F]{2}$"));
        for (const QString &id : c->m_downlinkIdToNameMap.keys())
            QVERIFY2(downlink.match(id).hasMatch(), qPrintable(id));
        for (const QString &id : c->m_uplinkIdToNameMap.keys())
            QVERIFY2(uplink.match(id).hasMatch(), qPrintable(id));
    }

    // Acknowledgements carry the ID of the command they answer, results its layer.
    void uplinksAgreeWithTheirCommands()
    {
        const CCfgFileParse *c = CCfgFileParse::instance();
        for (auto it = c->m_downlinkNameToIdMap.cbegin(); it != c->m_downlinkNameToIdMap.cend(); ++it)
            QCOMPARE(c->m_downlinkIdToNameMap.value(it.value()), it.key());

        int checked = 0;
        for (auto it = c->m_uplinkIdToNameMap.cbegin(); it != c->m_uplinkIdToNameMap.cend(); ++it) {
            const QString downlinkId = c->m_downlinkNameToIdMap.value(it.value());
            if (downlinkId.isEmpty())
                continue;
            const QString message = it.key() + QLatin1Char(' ') + it.value();
            if (it.key().startsWith(QLatin1String("BB@")))
                QVERIFY2(it.key() == QLatin1String("BB@") + downlinkId, qPrintable(message));
            else if (it.key().startsWith(QLatin1String("DD@")))
                QVERIFY2(it.key().mid(3, 2) == downlinkId.left(2), qPrintable(message));
            ++checked;
        }
        QVERIFY(checked > 100);
    }

    // Every command's fields follow each other from the first payload byte,
    // and only the last may run to the end of the frame.
    void fieldsTileThePayload_data()
    {
        QTest::addColumn<bool>("downlink");
        QTest::newRow("downlink commands") << true;
        QTest::newRow("uplink messages") << false;
    }

    void fieldsTileThePayload()
    {
        QFETCH(bool, downlink);
        const CCfgFileParse *c = CCfgFileParse::instance();
        const auto &layouts = downlink ? c->m_downlinkIdToFieldsMap : c->m_uplinkIdToFieldsMap;
        QVERIFY(!layouts.isEmpty());
        for (auto it = layouts.cbegin(); it != layouts.cend(); ++it) {
            const QString message = it.key() + QLatin1String(": ") + describe(it.value());
            quint32 next = 4;
            for (int i = 0; i < it.value().size(); ++i) {
                const CmdFieldInfo &field = it.value().at(i);
                QVERIFY2(!field.key.isEmpty(), qPrintable(message));
                QVERIFY2(field.index == next, qPrintable(message));
                QVERIFY2(field.length > 0 || i == it.value().size() - 1, qPrintable(message));
                QVERIFY2(field.src.isEmpty(), qPrintable(message));
                next = field.index + field.length;
            }
        }
    }

    void formsInOrder_data()
    {
        QTest::addColumn<bool>("downlink");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("father");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("fieldCount");
        int downPosition = 0;
        int upPosition = 0;
        const auto formRow = [&](const char *file, const char *name, const char *father, const char *format,
                                 int fieldCount) {
            const bool down = qstrcmp(file, "down") == 0;
            const int position = down ? downPosition++ : upPosition++;
            QTest::addRow("%s %d %s", file, position, name)
                << down << position << QString::fromLatin1(name) << QString::fromLatin1(father)
                << QString::fromLatin1(format) << fieldCount;
        };
        formRow("down", "Discover All Primary Services", "GATT", "write", 0);
        formRow("down", "Exchange MTU", "GATT", "write", 0);
        formRow("down", "Discover Primary Services by UUID", "GATT", "write", 1);
        formRow("down", "Find Include Service", "GATT", "write", 2);
        formRow("down", "Discover All Characteristics", "GATT", "write", 2);
        formRow("down", "Discover Characteristics by UUID", "GATT", "write", 3);
        formRow("down", "Discover All Characteristic Descriptors", "GATT", "write", 2);
        formRow("down", "Read Characteristic Value", "GATT", "write", 1);
        formRow("down", "Read Using UUID Characteristic", "GATT", "write", 3);
        formRow("down", "Read Long Characteristic Value", "GATT", "write", 2);
        formRow("down", "Read Multiple Characteristic Values", "GATT", "write", 1);
        formRow("down", "Write Characteristic Value without Response", "GATT", "write", 2);
        formRow("down", "Signed Write Characteristic Value without Response", "GATT", "write", 2);
        formRow("down", "Write Characteristic Value", "GATT", "write", 2);
        formRow("down", "Write Long Characteristic Value", "GATT", "write", 3);
        formRow("down", "Reliable Characteristic Value Writes", "GATT", "write", 1);
        formRow("down", "Read Characteristic Descriptor", "GATT", "write", 1);
        formRow("down", "Read Long Characteristic Descriptor", "GATT", "write", 2);
        formRow("down", "Write Characteristic Descriptor", "GATT", "write", 2);
        formRow("down", "Write Long Characteristic Descriptor", "GATT", "write", 3);
        formRow("down", "Update Connection Parameters Request", "GAP", "write", 5);
        formRow("down", "Data Length Update", "GAP", "write", 2);
        formRow("down", "PHY Update", "GAP", "write", 3);
        formRow("down", "Get Peer Version", "GAP", "read", 3);
        formRow("down", "Get Peer Features", "GAP", "read", 1);
        formRow("down", "Get Connection PHY", "GAP", "read", 2);
        formRow("down", "Get Connection Channel Map", "GAP", "read", 1);
        formRow("down", "Get Connection RSSI", "GAP", "read", 1);
        formRow("down", "Get Selection Algorithm For Connection Channel", "GAP", "read", 1);
        formRow("down", "RF TX Power Set", "GAP", "write", 1);
        formRow("down", "Register PSM", "L2CAP", "write", 3);
        formRow("down", "Create COC", "L2CAP", "write", 5);
        formRow("down", "L2CAP Parameters Settings", "L2CAP", "write", 3);
        formRow("down", "Device Version Get", "GET_INFO", "read", 7);
        formRow("down", "Device BD_Address Get", "GET_INFO", "read", 2);
        formRow("down", "Suggested Default Data Length Info Get", "GET_INFO", "read", 2);
        formRow("down", "Max Data Length Info Get", "GET_INFO", "read", 4);
        formRow("down", "Number of Available Adv Sets Get", "GET_INFO", "read", 1);
        formRow("down", "Maximum Adv Data Length Get", "GET_INFO", "read", 1);
        formRow("down", "TX Power Get", "GET_INFO", "read", 2);
        formRow("down", "RF Path Compensation Values Get", "GET_INFO", "read", 2);
        formRow("down", "CIG Parameter Get", "CIG", "write", 7);
        formRow("down", "CIS Parameter Get", "CIS", "write", 6);
        formRow("down", "Master BIG Parameter Get", "BIG", "write", 4);
        formRow("down", "Slave BIG Parameter Get", "BIG", "write", 10);
        formRow("up", "DEVICES_TABLE", "GATT", "read", 9);
        formRow("up", "Update Connection Parameters Reply", "GAP", "read", 4);
        formRow("up", "RECEIVE_CIS_DATA", "CIS", "read", 5);
        formRow("up", "Get CIS Slave Parameter", "CIS", "read", 4);
        formRow("up", "Accept CIS Slave Parameter", "CIS", "read", 7);
    }

    void formsInOrder()
    {
        QFETCH(bool, downlink);
        QFETCH(int, position);
        QFETCH(QString, name);
        QFETCH(QString, father);
        QFETCH(QString, format);
        QFETCH(int, fieldCount);
        const CCfgFileParse *c = CCfgFileParse::instance();
        const auto &forms = downlink ? c->m_downlinkNameToUiVec : c->m_uplinkNameToUiVec;
        const auto &components = downlink ? c->m_downlinkUiComponentVec : c->m_uplinkUiComponentVec;
        QVERIFY(position < forms.size());
        QVERIFY(position < components.size());
        QCOMPARE(forms.at(position).name, name);
        QCOMPARE(forms.at(position).fields.size(), fieldCount);
        QCOMPARE(components.at(position).name, name);
        QCOMPARE(components.at(position).father, father);
        QCOMPARE(components.at(position).format, format);
    }

    void formFieldAttributes_data()
    {
        QTest::addColumn<bool>("downlink");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const auto row = [](bool downlink, const char *form, const char *key, const char *name, const char *expected) {
            QTest::addRow("%s %s %s", form, key, name)
                << downlink << QString::fromLatin1(form) << QString::fromLatin1(key) << QString::fromLatin1(name)
                << QString::fromLatin1(expected);
        };
        row(true, "Discover Primary Services by UUID", "service_uuid", "maxLength", "0");
        row(true, "Find Include Service", "start_handle", "defaultValue", "0x0001");
        row(true, "Read Long Characteristic Value", "offset", "defaultValue", "");
        row(true, "Update Connection Parameters Request", "ce_length", "max", "40959.375");
        row(true, "Update Connection Parameters Request", "ce_length", "singleStep", "0.625");
        row(true, "Update Connection Parameters Request", "ce_length", "precision", "3");
        row(true, "Update Connection Parameters Request", "sup_timeout", "precision", "0");
        row(true, "Update Connection Parameters Request", "slave_latency", "length", "2");
        row(true, "Update Connection Parameters Request", "slave_latency", "maxLength", "");
        row(true, "PHY Update", "trans_phys", "type", "enum_mask");
        row(true, "Get Connection PHY", "lephy_data_reception", "type", "enum_mask_read_half");
        row(true, "Get Connection RSSI", "rssi", "subType", "int8");
        row(true, "Get Connection RSSI", "rssi", "min", "-128");
        row(true, "Get Selection Algorithm For Connection Channel", "chanel_selection_algorithm", "title",
            "Chanel Selection algorithm");
        row(true, "Device BD_Address Get", "identity_addr", "subType", "addr");
        row(true, "Device BD_Address Get", "identity_addr", "maxLength", "17");
        row(true, "RF Path Compensation Values Get", "rx_path_comp", "subType", "int16double");
        row(true, "RF Path Compensation Values Get", "rx_path_comp", "singleStep", "0.1");
        row(true, "Create COC", "local_credits", "defaultValue", "255");
        row(true, "CIG Parameter Get", "sdu_interval_m2s", "max", "16777215");
        row(true, "Master BIG Parameter Get", "broadcastcode", "subType", "littleEnd");
        row(true, "Master BIG Parameter Get", "broadcastcode", "length", "47");
        row(true, "Slave BIG Parameter Get", "sdu_interval", "defaultValue", "100000");
        row(true, "Slave BIG Parameter Get", "broadcastcode", "title", "BroadcastCode");
        row(false, "DEVICES_TABLE", "device", "type", "string");
        row(false, "DEVICES_TABLE", "rssi", "title", "RSSI(dBm)");
        row(false, "DEVICES_TABLE", "connected", "subType", "");
        row(false, "Update Connection Parameters Reply", "interval_max", "max", "4000.0");
        row(false, "RECEIVE_CIS_DATA", "data_length", "title", "SDU Length");
        row(false, "Accept CIS Slave Parameter", "cig_sync_delay", "title", "CIG Sync Delay(um)");
        row(false, "Accept CIS Slave Parameter", "transport_latency_s2m", "min", "234");
    }

    void formFieldAttributes()
    {
        QFETCH(bool, downlink);
        QFETCH(QString, form);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        const CCfgFileParse *c = CCfgFileParse::instance();
        const UiComponentFields *found = findForm(downlink ? c->m_downlinkNameToUiVec : c->m_uplinkNameToUiVec, form);
        QVERIFY(found);
        const UiFieldInfo *field = findField(found->fields, key);
        QVERIFY(field);
        QCOMPARE(attribute(*field, name), expected);
    }

    void enumChoices_data()
    {
        QTest::addColumn<bool>("downlink");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("count");
        QTest::addColumn<quint64>("lastValue");
        QTest::addColumn<QString>("lastDesc");
        QTest::newRow("phy options") << true << "PHY Update" << "host_specify_options" << 2 << quint64(2)
                                     << "S=8(each bit produces 4 bits)";
        QTest::newRow("peer features") << true << "Get Peer Features" << "features" << 17 << quint64(65536)
                                       << "Minimum Number of Used Channels Procedure";
        QTest::newRow("channel map beyond 32 bits") << true << "Get Connection Channel Map" << "channel_map" << 37
                                                    << quint64(68719476736ULL) << "Channel-36";
        QTest::newRow("security level") << true << "Register PSM" << "sec_level" << 4 << quint64(3)
                                        << "GAP_SEC_LVL_SC_ENC_AUTH";
        QTest::newRow("sleep clock accuracy") << true << "CIG Parameter Get" << "sca" << 8 << quint64(7)
                                              << "0 ppm to 20 ppm";
        QTest::newRow("address type") << false << "DEVICES_TABLE" << "addr_type" << 4 << quint64(3)
                                      << "Static(identity)";
        QTest::newRow("secondary phy") << false << "DEVICES_TABLE" << "phy_second" << 5 << quint64(12) << "N/A";
        QTest::newRow("packet status") << false << "RECEIVE_CIS_DATA" << "packet_status" << 3 << quint64(2)
                                       << "No packet received";
        QTest::newRow("plain edit has none") << true << "Create COC" << "mtu" << 0 << quint64(0) << "";
    }

    void enumChoices()
    {
        QFETCH(bool, downlink);
        QFETCH(QString, form);
        QFETCH(QString, key);
        QFETCH(int, count);
        QFETCH(quint64, lastValue);
        QFETCH(QString, lastDesc);
        const CCfgFileParse *c = CCfgFileParse::instance();
        const UiComponentFields *found = findForm(downlink ? c->m_downlinkNameToUiVec : c->m_uplinkNameToUiVec, form);
        QVERIFY(found);
        const UiFieldInfo *field = findField(found->fields, key);
        QVERIFY(field);
        QCOMPARE(field->elemList.size(), count);
        QCOMPARE(field->valueDescMap.size(), count);
        if (count == 0)
            return;
        QCOMPARE(field->elemList.last().value, lastValue);
        QCOMPARE(field->elemList.last().valueDesc, lastDesc);
        QCOMPARE(field->valueDescMap.value(lastValue), lastDesc);
        QCOMPARE(field->descValueMap.value(lastDesc), lastValue);
    }

    void repeatedDescriptionKeepsEveryChoice()
    {
        const UiComponentFields *table =
            findForm(CCfgFileParse::instance()->m_uplinkNameToUiVec, QString::fromLatin1(CMD_DEVICES_TABLE));
        QVERIFY(table);
        const UiFieldInfo *field = findField(table->fields, QStringLiteral("adv_classification"));
        QVERIFY(field);
        QCOMPARE(field->elemList.size(), 5);
        QCOMPARE(field->elemList.at(2).value, quint64(2));
        QCOMPARE(field->elemList.at(2).valueDesc, QStringLiteral("Extended"));
        QCOMPARE(field->valueDescMap.size(), 5);
        QCOMPARE(field->valueDescMap.value(0), QStringLiteral("Extended"));
        QCOMPARE(field->valueDescMap.value(3), QStringLiteral("Legacy"));
        QCOMPARE(field->descValueMap.size(), 3);
        QCOMPARE(field->descValueMap.value(QStringLiteral("Extended")), quint64(2));
        QCOMPARE(field->descValueMap.value(QStringLiteral("Legacy")), quint64(3));
        QCOMPARE(field->descValueMap.value(QStringLiteral("Periodic")), quint64(4));
    }

    void listElementFields_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("elementKeys");
        QTest::addColumn<QStringList>("elementDefaults");
        QTest::newRow("read multiple") << "Read Multiple Characteristic Values" << "attrible_handle_info"
                                       << QStringList{"attrible_handle", "len"} << QStringList{"0x0001", "1"};
        QTest::newRow("reliable writes") << "Reliable Characteristic Value Writes" << "attrible_handle_list"
                                         << QStringList{"attrible_handle", "offset", "value"}
                                         << QStringList{"0x0001", "0x0000", "0"};
    }

    void listElementFields()
    {
        QFETCH(QString, form);
        QFETCH(QString, key);
        QFETCH(QStringList, elementKeys);
        QFETCH(QStringList, elementDefaults);
        const UiComponentFields *found = findForm(CCfgFileParse::instance()->m_downlinkNameToUiVec, form);
        QVERIFY(found);
        const UiFieldInfo *list = findField(found->fields, key);
        QVERIFY(list);
        QCOMPARE(list->type, QStringLiteral("list"));
        QCOMPARE(list->maxLength, QStringLiteral("0"));
        QVERIFY(list->elemList.isEmpty());
        QStringList keys;
        QStringList defaults;
        for (const UiFieldInfo &element : list->subFieldVec) {
            keys << element.key;
            defaults << element.defaultValue;
            QCOMPARE(element.type, QStringLiteral("lineEdit"));
        }
        QCOMPARE(keys, elementKeys);
        QCOMPARE(defaults, elementDefaults);
        if (key == QLatin1String("attrible_handle_info")) {
            const UiFieldInfo &length = list->subFieldVec.at(1);
            QCOMPARE(length.subType, QStringLiteral("int"));
            QCOMPARE(length.min, QStringLiteral("0"));
            QCOMPARE(length.max, QStringLiteral("512"));
            QCOMPARE(length.length, QStringLiteral("2"));
            QCOMPARE(length.title, QStringLiteral("Value Length"));
        }
    }

    // A list element keeps only what the list editor uses, whatever the file says.
    void listElementDropsStepPrecisionAndChoices()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("forms.xml"));
        QVERIFY(writeFile(path, R"(<componentGroup>
  <component name="Form" father="GAP" format="write">
    <field key="items" title="Items" type="list" maxLength="0" singleStep="2" precision="1">
      <field key="a" title="A" type="enum" subType="int" length="1" maxLength="4" min="1" max="9"
             singleStep="0.5" precision="2" defaultValue="3">
        <elem value="1" valueDesc="one"/>
      </field>
    </field>
  </component>
</componentGroup>)"));
        QVector<UiComponentFields> forms;
        QVector<UiComponentInfo> components;
        QCOMPARE(CCfgFileParse::parseUiFile(path, forms, components), 0);
        QCOMPARE(forms.size(), 1);
        const UiFieldInfo &list = forms.at(0).fields.at(0);
        QCOMPARE(list.singleStep, QStringLiteral("2"));
        QCOMPARE(list.subFieldVec.size(), 1);
        const UiFieldInfo &element = list.subFieldVec.at(0);
        QCOMPARE(element.key, QStringLiteral("a"));
        QCOMPARE(element.title, QStringLiteral("A"));
        QCOMPARE(element.type, QStringLiteral("enum"));
        QCOMPARE(element.subType, QStringLiteral("int"));
        QCOMPARE(element.length, QStringLiteral("1"));
        QCOMPARE(element.maxLength, QStringLiteral("4"));
        QCOMPARE(element.min, QStringLiteral("1"));
        QCOMPARE(element.max, QStringLiteral("9"));
        QCOMPARE(element.defaultValue, QStringLiteral("3"));
        QVERIFY(element.singleStep.isEmpty());
        QVERIFY(element.precision.isEmpty());
        QVERIFY(element.elemList.isEmpty());
        QVERIFY(element.valueDescMap.isEmpty());
    }

    void advertisingDataTypes_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("type");
        QTest::addColumn<quint32>("length");
        QTest::addColumn<QString>("value");
        int position = 0;
        const auto row = [&position](const char *key, const char *title, const char *type, quint32 length,
                                     const char *value) {
            QTest::newRow(key) << position++ << QString::fromLatin1(key) << QString::fromLatin1(title)
                               << QString::fromLatin1(type) << length << QString::fromLatin1(value);
        };
        row("incomplete_list_16-bit", "UUID 16-bit Incomplete List", "16bit", 2, "0x02");
        row("complete_list_16-bit", "UUID 16-bit Complete List", "16bit", 2, "0x03");
        row("incomplete_list_32-bit", "UUID 32-bit Incomplete List", "32bit", 4, "0x04");
        row("complete_list_32-bit", "UUID 32-bit Complete List", "32bit", 4, "0x05");
        row("incomplete_list_128-bit", "UUID 128-bit Incomplete List", "128bit", 16, "0x06");
        row("complete_list_128-bit", "UUID 128-bit Complete List", "128bit", 16, "0x07");
        row("shortened_local_name", "Shortened Local Name", "string", 255, "0x08");
        row("complete_local_name", "Complete Local Name", "string", 255, "0x09");
        row("tx_power_level", "Tx Power Level", "littleEnd", 2, "0x0A");
        row("appearance", "Appearance", "littleEnd", 5, "0x19");
        row("custom_ad_type", "Custom AD type", "littleEnd", 0, "");
    }

    void advertisingDataTypes()
    {
        QFETCH(int, position);
        QFETCH(QString, key);
        QFETCH(QString, title);
        QFETCH(QString, type);
        QFETCH(quint32, length);
        QFETCH(QString, value);
        const QVector<AdvDataTypeInfo> types =
            CCfgFileParse::instance()->m_advDataMap.value(QStringLiteral("advertising_data"));
        QVERIFY(position < types.size());
        const AdvDataTypeInfo &info = types.at(position);
        QCOMPARE(info.key, key);
        QCOMPARE(info.title, title);
        QCOMPARE(info.type, type);
        QCOMPARE(info.length, length);
        QCOMPARE(info.value, value);
    }

    void commandFileRules()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("commands.xml"));
        QVERIFY(writeFile(path, R"(<commandsGroup>
  <command name="First" ID="01@01">
    <field key="a" index="four" length="1" src="settings"/>
    <field key="b" index="5" length="x"/>
  </command>
  <anything name="Second" ID="01@02"><item key="c" index="4" length="2"/></anything>
  <command name="Third" ID="01@01"><field key="d" index="4" length="3"/></command>
  <command name="Second" ID="01@03"/>
</commandsGroup>)"));

        QMap<QString, QVector<CmdFieldInfo>> layouts;
        layouts.insert(QStringLiteral("kept"), {});
        QCOMPARE(CCfgFileParse::parseCmdFile(path, layouts), 0);
        QVERIFY(layouts.contains(QStringLiteral("kept")));
        QCOMPARE(describe(layouts.value(QStringLiteral("01@01"))), QStringLiteral("d 4/3"));
        QCOMPARE(describe(layouts.value(QStringLiteral("01@02"))), QStringLiteral("c 4/2"));
        QVERIFY(layouts.value(QStringLiteral("01@03")).isEmpty());
        QCOMPARE(layouts.size(), 4);

        QMap<QString, QString> nameToId;
        QMap<QString, QString> idToName;
        QCOMPARE(CCfgFileParse::parseCmdNameAndId(path, nameToId, idToName), 0);
        QCOMPARE(nameToId.value(QStringLiteral("First")), QStringLiteral("01@01"));
        QCOMPARE(nameToId.value(QStringLiteral("Second")), QStringLiteral("01@03"));
        QCOMPARE(idToName.value(QStringLiteral("01@01")), QStringLiteral("Third"));
        QCOMPARE(idToName.value(QStringLiteral("01@02")), QStringLiteral("Second"));

        // Numbers that are not decimal read as 0; "src" is kept when present.
        QVERIFY(writeFile(path, R"(<commandsGroup><command ID="02@01">
    <field key="a" index="four" length="1" src="settings"/>
    <field key="b" index="5" length="x"/>
</command></commandsGroup>)"));
        QCOMPARE(CCfgFileParse::parseCmdFile(path, layouts), 0);
        const QVector<CmdFieldInfo> fields = layouts.value(QStringLiteral("02@01"));
        QCOMPARE(fields.size(), 2);
        QCOMPARE(fields.at(0).index, 0u);
        QCOMPARE(fields.at(0).src, QStringLiteral("settings"));
        QCOMPARE(fields.at(1).length, 0u);
        QVERIFY(fields.at(1).src.isEmpty());
    }

    void parseFailures_data()
    {
        QTest::addColumn<QString>("parser");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QByteArray>("content");
        const QStringList parsers = {"command", "name", "form", "advertising"};
        for (const QString &parser : parsers) {
            QTest::addRow("%s, missing file", qPrintable(parser)) << parser << true << QByteArray();
            QTest::addRow("%s, empty file", qPrintable(parser)) << parser << false << QByteArray();
            QTest::addRow("%s, unclosed element", qPrintable(parser))
                << parser << false << QByteArray("<commandsGroup><command name=\"a\" ID=\"01@01\">");
            QTest::addRow("%s, not xml", qPrintable(parser)) << parser << false << QByteArray("\x01\x02 not xml");
        }
    }

    void parseFailures()
    {
        QFETCH(QString, parser);
        QFETCH(bool, missing);
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("broken.xml"));
        if (!missing)
            QVERIFY(writeFile(path, content));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("CCfgFileParse: .*broken\\.xml")));

        // Whatever the tables held before stays untouched.
        QMap<QString, QVector<CmdFieldInfo>> layouts{{QStringLiteral("01@01"), {}}};
        QMap<QString, QString> nameToId{{QStringLiteral("a"), QStringLiteral("01@01")}};
        QMap<QString, QString> idToName{{QStringLiteral("01@01"), QStringLiteral("a")}};
        QVector<UiComponentFields> forms{UiComponentFields{QStringLiteral("f"), {}}};
        QVector<UiComponentInfo> components{UiComponentInfo{QStringLiteral("f"), {}, {}}};
        QMap<QString, QVector<AdvDataTypeInfo>> types{{QStringLiteral("t"), {}}};
        int result = 0;
        if (parser == QLatin1String("command"))
            result = CCfgFileParse::parseCmdFile(path, layouts);
        else if (parser == QLatin1String("name"))
            result = CCfgFileParse::parseCmdNameAndId(path, nameToId, idToName);
        else if (parser == QLatin1String("form"))
            result = CCfgFileParse::parseUiFile(path, forms, components);
        else
            result = CCfgFileParse::parseAdvData(path, types);
        QCOMPARE(result, -1);
        QCOMPARE(layouts.keys(), QStringList{"01@01"});
        QCOMPARE(nameToId.size(), 1);
        QCOMPARE(idToName.size(), 1);
        QCOMPARE(forms.size(), 1);
        QCOMPARE(components.size(), 1);
        QCOMPARE(types.keys(), QStringList{"t"});
    }

    void loadFromCompleteFolder()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(copyEmbeddedCatalogue(folder.path()));
        FailureRecorder recorder;
        FolderCatalogue catalogue(folder.path());
        QVERIFY(recorder.paths.isEmpty());
        const CCfgFileParse *embedded = CCfgFileParse::instance();
        QCOMPARE(catalogue.m_uplinkIdToNameMap, embedded->m_uplinkIdToNameMap);
        QCOMPARE(catalogue.m_downlinkNameToIdMap, embedded->m_downlinkNameToIdMap);
        QCOMPARE(catalogue.m_downlinkIdToFieldsMap.size(), 130);
        QCOMPARE(catalogue.m_downlinkNameToUiVec.size(), 45);
        QCOMPARE(catalogue.m_advDataMap.value(QStringLiteral("advertising_data")).size(), 11);
    }

    // Loading stops at the first file that fails, in load order, and reports it.
    void loadFailureReportsTheFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("malformed");
        QTest::addColumn<int>("uplinkLayouts");
        QTest::addColumn<int>("downlinkLayouts");
        QTest::addColumn<int>("uplinkForms");
        QTest::addColumn<int>("downlinkForms");
        QTest::addColumn<int>("downlinkNames");
        QTest::addColumn<int>("uplinkNames");
        for (const bool malformed : {false, true}) {
            const char *how = malformed ? "malformed" : "missing";
            QTest::addRow("%s up_link_command.xml", how)
                << "up_link_command.xml" << malformed << 0 << 0 << 0 << 0 << 0 << 0;
            QTest::addRow("%s down_link_command.xml", how)
                << "down_link_command.xml" << malformed << 228 << 0 << 0 << 0 << 0 << 0;
            QTest::addRow("%s up_link_ui.xml", how)
                << "up_link_ui.xml" << malformed << 228 << 130 << 0 << 0 << 0 << 0;
            QTest::addRow("%s down_link_ui.xml", how)
                << "down_link_ui.xml" << malformed << 228 << 130 << 5 << 0 << 0 << 0;
            QTest::addRow("%s advertising_data.xml", how)
                << "advertising_data.xml" << malformed << 228 << 130 << 5 << 45 << 130 << 146;
        }
    }

    void loadFailureReportsTheFile()
    {
        QFETCH(QString, file);
        QFETCH(bool, malformed);
        QFETCH(int, uplinkLayouts);
        QFETCH(int, downlinkLayouts);
        QFETCH(int, uplinkForms);
        QFETCH(int, downlinkForms);
        QFETCH(int, downlinkNames);
        QFETCH(int, uplinkNames);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(copyEmbeddedCatalogue(folder.path()));
        const QString path = folder.filePath(file);
        QVERIFY(QFile::remove(path));
        if (malformed)
            QVERIFY(writeFile(path, "<componentGroup><component>"));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(path)));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QRegularExpression::escape(path)));
        FailureRecorder recorder;
        FolderCatalogue catalogue(folder.path());
        QCOMPARE(recorder.paths, QStringList{path});
        QCOMPARE(catalogue.m_uplinkIdToFieldsMap.size(), uplinkLayouts);
        QCOMPARE(catalogue.m_downlinkIdToFieldsMap.size(), downlinkLayouts);
        QCOMPARE(catalogue.m_uplinkNameToUiVec.size(), uplinkForms);
        QCOMPARE(catalogue.m_downlinkNameToUiVec.size(), downlinkForms);
        QCOMPARE(catalogue.m_downlinkNameToIdMap.size(), downlinkNames);
        QCOMPARE(catalogue.m_uplinkNameToIdMap.size(), uplinkNames);
        QVERIFY(catalogue.m_advDataMap.isEmpty());
    }

    // Without a handler of its own, a failed load ends the program with an
    // error status and names the file.
    void defaultFailureEndsTheProgram()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(copyEmbeddedCatalogue(folder.path()));
        QVERIFY(QFile::remove(folder.filePath(QStringLiteral("up_link_ui.xml"))));

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(CHILD_FOLDER_VARIABLE), folder.path());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY(child.exitCode() != 0);
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QVERIFY2(errors.contains(folder.filePath(QStringLiteral("up_link_ui.xml"))), qPrintable(errors));
        QVERIFY2(!errors.contains(QLatin1String("reached")), qPrintable(errors));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsSet(CHILD_FOLDER_VARIABLE)) {
        FolderCatalogue catalogue(qEnvironmentVariable(CHILD_FOLDER_VARIABLE));
        fprintf(stderr, "load finished: not reached when a file fails\n");
        return 0;
    }
    TestCatalogue test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_catalogue.moc"
