#include "advrig.h"
#include "cadvdatawidget.h"
#include "cadvextendwidget.h"
#include "cadvlegacywidget.h"
#include "cadvperiodicwidget.h"
#include "cvalidatelineedit.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "recordinglogger.h"

#include <QComboBox>
#include <QToolButton>
#include <QtTest>

namespace {

QByteArray hex(const QString &text)
{
    return FrameBuilder::fromHex(text);
}

const QString kLegacyTitle = QStringLiteral("Legacy Advertising Parameters Setting Error");
const QString kExtendedTitle = QStringLiteral("Extended Advertising Parameters Setting Error");
const QString kPeriodicTitle = QStringLiteral("Periodic Advertising Parameters Setting Error");

struct Kind
{
    quint8 parameterOpcode;
    quint8 dataOpcode;
    QString commandId;
};

Kind kindOf(const QString &kind)
{
    if (kind == QLatin1String("extended"))
        return {0x2B, 0x2D, QStringLiteral("01@2B")};
    if (kind == QLatin1String("periodic"))
        return {0x31, 0x33, QStringLiteral("01@31")};
    return {0x23, 0x25, QStringLiteral("01@23")};
}

CAdvBaseWidget *makeForm(const QString &kind, AdvRig &rig)
{
    if (kind == QLatin1String("extended"))
        return new CAdvExtendWidget(&rig.link, &rig.logs, nullptr);
    if (kind == QLatin1String("periodic"))
        return new CAdvPeriodicWidget(&rig.link, &rig.logs, nullptr);
    return new CAdvLegacyWidget(&rig.link, &rig.logs, nullptr);
}

// A form of one kind on the link to the simulated dongle, filled with settings.
struct FormOnLink
{
    FormOnLink(const QString &kind, const QStringList &settings, bool open = true)
        : form(makeForm(kind, rig))
    {
        opened = !open || rig.open();
        AdvForms::apply(form.data(), settings);
    }
    AdvRig rig;
    QScopedPointer<CAdvBaseWidget> form;
    bool opened = false;
};

// Runs the call, which must show one box with that title and text and log
// logLine (when there is one) at ERROR, and send nothing.
void expectRefusal(FormOnLink &f, const std::function<void()> &call, const QString &title, const QString &text,
                   const QString &logLine)
{
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    call();
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, title);
    QCOMPARE(answerer.seen().first().text, text);
    if (!logLine.isEmpty())
        QVERIFY(f.rig.recorder->lines().contains(qMakePair(logLine, 4)));
    QTest::qWait(30);
    QCOMPARE(f.rig.dongle.receivedCount(), 0);
}

QByteArray index(int value)
{
    return QByteArray(1, char(value));
}

// Data that lets each kind pass its checks with its other fields at their defaults.
QStringList minimalData(const QString &kind)
{
    if (kind == QLatin1String("periodic"))
        return {QStringLiteral("adv:Complete Local Name=abc"), QStringLiteral("periodic=01")};
    return {QStringLiteral("adv:Complete Local Name=abc")};
}

} // namespace

class TestAdvForms : public QObject
{
    Q_OBJECT

private slots:
    void defaultParameterFrames_data();
    void defaultParameterFrames();
    void dataFrames_data();
    void dataFrames();
    void refusals_data();
    void refusals();
    void accepted_data();
    void accepted();
    void fieldValues_data();
    void fieldValues();
    void invalidData_data();
    void invalidData();
    void durationFollowsMode_data();
    void durationFollowsMode();
    void resetRestoresDefaults_data();
    void resetRestoresDefaults();
    void failedSendIsReported_data();
    void failedSendIsReported();
    void directedLegacyMode_data();
    void directedLegacyMode();
};

void TestAdvForms::defaultParameterFrames_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("advIndex");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("legacy, index 0") << "legacy" << 0
                                     << hex("00 01 00 00 00 00 00 00 00 00 A0 00 A0 00 07 00 00 00 00 00 00");
    QTest::newRow("legacy, index 4") << "legacy" << 4
                                     << hex("00 01 00 00 00 00 00 00 00 00 A0 00 A0 00 07 00 00 00 00 04 00");
    QTest::newRow("extended, index 2")
        << "extended" << 2
        << hex("01 01 00 00 00 00 00 00 00 00 00 00 A0 00 00 00 A0 00 00 00 07 01 00 01 00 00 00 00 02 00");
    QTest::newRow("periodic, index 0")
        << "periodic" << 0
        << hex("01 00 00 00 00 00 00 00 00 00 00 00 40 01 00 00 40 01 00 00 07 01 00 01 00 A0 00 A0 00 00 00 00 00 00");
}

void TestAdvForms::defaultParameterFrames()
{
    QFETCH(QString, kind);
    QFETCH(int, advIndex);
    QFETCH(QByteArray, payload);

    FormOnLink f(kind, minimalData(kind));
    QVERIFY(f.opened);
    AdvRig &rig = f.rig;
    CAdvBaseWidget *form = f.form.data();
    QVERIFY(form->setAdvParameter(index(advIndex)));
    QVERIFY(rig.waitForDownlinks(1));
    const Kind k = kindOf(kind);
    QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().first()),
             FrameBuilder::toHex(AdvForms::wireFrame(k.parameterOpcode, payload)));
    // The controller took the parameters as they are.
    QTRY_COMPARE(rig.adv->sets().value(advIndex).parameters, payload);
}

void TestAdvForms::dataFrames_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<int>("advIndex");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("legacy name abc") << "legacy" << QStringList{"adv:Complete Local Name=abc"} << 0
                                     << hex("00 05 04 09 61 62 63 00");
    QTest::newRow("legacy with scan response")
        << "legacy" << QStringList{"adv:Appearance=4103", "res:Shortened Local Name=ab"} << 3
        << hex("03 04 03 19 41 03 04 03 08 61 62");
    QTest::newRow("extended name abc") << "extended" << QStringList{"adv:Complete Local Name=abc"} << 1
                                       << hex("01 05 00 04 09 61 62 63 00 00");
    QTest::newRow("extended scannable")
        << "extended" << QStringList{"cb_econnect=0", "cb_escannable=1", "res:Custom AD type=020106"} << 2
        << hex("02 00 00 03 00 02 01 06");
    QTest::newRow("periodic example")
        << "periodic" << QStringList{"adv:Custom AD type=020106", "periodic=03FF0102"} << 0
        << hex("00 03 00 02 01 06 00 00 04 00 03 FF 01 02");
}

void TestAdvForms::dataFrames()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, settings);
    QFETCH(int, advIndex);
    QFETCH(QByteArray, payload);

    FormOnLink f(kind, settings);
    QVERIFY(f.opened);
    AdvRig &rig = f.rig;
    CAdvBaseWidget *form = f.form.data();
    QVERIFY(form->setAdvParameter(index(advIndex)));
    form->setAdvData(index(advIndex));
    QVERIFY(rig.waitForDownlinks(2));
    const Kind k = kindOf(kind);
    const QByteArray frame = AdvForms::wireFrame(k.dataOpcode, payload);
    QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().at(1)), FrameBuilder::toHex(frame));
    // Logged as the catalogue sender logs, with the frame before its checksum.
    const QString name = kind == QLatin1String("legacy")     ? QStringLiteral("Legacy Advertising Data Set")
                         : kind == QLatin1String("extended") ? QStringLiteral("Extended Advertising Data Set")
                                                             : QStringLiteral("Periodic Advertising Data Set");
    QCOMPARE(rig.recorder->count(QStringLiteral("Downlink Command Name: ") + name + QStringLiteral("\r\nRaw Data: ")
                                 + QString::fromLatin1(frame.left(frame.size() - 1).toHex())
                                 + QStringLiteral("\r\nField Data: ")),
             1);
    // The controller's reading of the blocks agrees.
    QTRY_VERIFY(rig.adv->sets().value(advIndex).hasData);
}

void TestAdvForms::refusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString name = QStringLiteral("adv:Complete Local Name=abc");
    const QString peer = QStringLiteral("le_peeraddr=11:22:33:44:55:66");
    const QString bytes29 = QStringLiteral("adv:Custom AD type=") + QString(58, QLatin1Char('1'));
    const QString bytes32 = QStringLiteral("res:Custom AD type=") + QString(64, QLatin1Char('1'));

    // Legacy, in the order the form checks.
    QTest::newRow("legacy 1 broadcaster") << "legacy" << QStringList{"cmb_discmode=3", name} << kLegacyTitle
        << "When Discovery Mode is Broadcaster mode, the Adv Mode should be Non-connectable and non-scanable mode.";
    QTest::newRow("legacy 2a general directed") << "legacy" << QStringList{"cmb_advmode=3"} << kLegacyTitle
        << "When Discovery Mode is General-discoverable mode, the Adv Mode cannot be Directed mode.";
    QTest::newRow("legacy 2b general policy") << "legacy" << QStringList{"cb_lscan=1", name} << kLegacyTitle
        << "When Discovery Mode is General-discoverable mode, the cannot use Filter Policy.";
    QTest::newRow("legacy 3a limited directed") << "legacy" << QStringList{"cmb_discmode=2", "cmb_advmode=4"}
        << kLegacyTitle << "When Discovery Mode is Limited-discoverable mode, the Adv Mode cannot be Directed mode.";
    QTest::newRow("legacy 3b limited policy") << "legacy" << QStringList{"cmb_discmode=2", "cb_lconn=1"}
        << kLegacyTitle << "When Discovery Mode is Limited-discoverable mode, the cannot use Filter Policy.";
    QTest::newRow("legacy 4 broadcaster policy")
        << "legacy" << QStringList{"cmb_discmode=3", "cmb_advmode=1", "cb_lscan=1"} << kLegacyTitle
        << "Filter policy can use only when Discovery Mode is Non-discoverable mode";
    QTest::newRow("legacy 5b zero peer") << "legacy" << QStringList{"cmb_discmode=0", "cmb_advmode=3"}
        << kLegacyTitle << "Legacy Advertising's Peer Address can't be zero when it's a directed advertising.";
    QTest::newRow("legacy 5c directed with data") << "legacy"
        << QStringList{"cmb_discmode=0", "cmb_advmode=4", peer, name} << kLegacyTitle
        << "Directed Legacy Advertising cannot set Advertising Data.";
    QTest::newRow("legacy 5d directed with scan response") << "legacy"
        << QStringList{"cmb_discmode=0", "cmb_advmode=3", peer, "res:Appearance=0001"} << kLegacyTitle
        << "Directed Legacy Advertising cannot set Scan Response Data.";
    QTest::newRow("legacy 6a no data") << "legacy" << QStringList() << kLegacyTitle
        << "Legacy Advertising should set Advertising Data.";
    QTest::newRow("legacy 6b 29 bytes") << "legacy" << QStringList{bytes29} << kLegacyTitle
        << "Legacy Advertising Advertising Data length should less than 28 bytes.";
    QTest::newRow("legacy 6c 32 bytes") << "legacy" << QStringList{name, bytes32} << kLegacyTitle
        << "Legacy Advertising Response Data length should less than 31 bytes.";
    QTest::newRow("legacy 7 intervals") << "legacy" << QStringList{name, "le_intvmin=200", "le_intvmax=199.375"}
        << kLegacyTitle << "Legacy Advertising's Max Adv Interval should greater than Min Adv Interval.";
    QTest::newRow("legacy 8 channels") << "legacy"
        << QStringList{name, "cb_lchannal37=0", "cb_lchannal38=0", "cb_lchannal39=0"} << kLegacyTitle
        << "Legacy Advertising's should choose at least one Channel Map.";

    // Extended.
    QTest::newRow("extended 1 broadcaster") << "extended" << QStringList{"cmb_eadvmode=3"} << kExtendedTitle
        << "When Discovery Mode is Broadcaster mode, the advertising cannot be Connectable or Scannable.";
    QTest::newRow("extended 2a general directed") << "extended" << QStringList{"cb_edriected=1"} << kExtendedTitle
        << "When Discovery Mode is General-discoverable mode, the Extended Advertiding cannot be Directed.";
    QTest::newRow("extended 2b general policy") << "extended" << QStringList{"cb_escan=1"} << kExtendedTitle
        << "When Discovery Mode is General-discoverable mode, the cannot use Filter Policy.";
    QTest::newRow("extended 3a limited directed") << "extended" << QStringList{"cmb_eadvmode=2", "cb_edriected=1"}
        << kExtendedTitle << "When Discovery Mode is Limited-discoverable mode, the Extended Advertiding cannot be Directed.";
    QTest::newRow("extended 3b limited policy") << "extended" << QStringList{"cmb_eadvmode=2", "cb_econn=1"}
        << kExtendedTitle << "When Discovery Mode is Limited-discoverable mode, the cannot use Filter Policy.";
    QTest::newRow("extended 4 broadcaster policy") << "extended"
        << QStringList{"cmb_eadvmode=3", "cb_econnect=0", "cb_escan=1"} << kExtendedTitle
        << "Filter policy can use only when Discovery Mode is Non-discoverable mode";
    QTest::newRow("extended 5a anonymous general") << "extended" << QStringList{"cb_eanonymous=1"} << kExtendedTitle
        << "When Extended Advertising is Anonymous, the Discovery Mode should be Non-discoverable mode or Broadcaster mode";
    QTest::newRow("extended 5b anonymous connectable") << "extended"
        << QStringList{"cmb_eadvmode=0", "cb_eanonymous=1"} << kExtendedTitle
        << "When Extended Advertising is Anonymous, it cannot be Connectable or Scannable.";
    QTest::newRow("extended 6 connectable and scannable") << "extended" << QStringList{"cb_escannable=1"}
        << kExtendedTitle << "Extended Advertising cannot be both Connectable and Scannable";
    QTest::newRow("extended 7a scannable with data") << "extended"
        << QStringList{"cb_econnect=0", "cb_escannable=1", name} << kExtendedTitle
        << "Scannable Extended Advertising cannot set Advertising Data";
    QTest::newRow("extended 7b scannable without response") << "extended"
        << QStringList{"cb_econnect=0", "cb_escannable=1"} << kExtendedTitle
        << "Scannable Extended Advertising should set Response Data";
    QTest::newRow("extended 7c no data") << "extended" << QStringList() << kExtendedTitle
        << "Not scannable Extended Advertising should set Advertising Data";
    QTest::newRow("extended 7d response") << "extended" << QStringList{name, "res:Appearance=0001"}
        << kExtendedTitle << "Not scannable Extended Advertising cannot set Response Data";
    QTest::newRow("extended 8 intervals") << "extended" << QStringList{name, "le_eprimmin=200", "le_eprimmax=100"}
        << kExtendedTitle << "Extended Advertising's Max Adv Interval should greater than Min Adv Interval.";
    QTest::newRow("extended 9 channels") << "extended"
        << QStringList{name, "cb_echannal37=0", "cb_echannal38=0", "cb_echannal39=0"} << kExtendedTitle
        << "Extended Advertising's should choose at least one Primary Channel Map.";
    QTest::newRow("extended 10 zero peer") << "extended" << QStringList{"cmb_eadvmode=0", "cb_edriected=1", name}
        << kExtendedTitle << "Extended Advertising's Peer Address can't be zero when it's a directed advertising.";

    // Periodic.
    QTest::newRow("periodic 1 general directed") << "periodic" << QStringList{"cb_pdriected=1"} << kPeriodicTitle
        << "When Discovery Mode is General-discoverable mode, the Periodic Advertiding cannot be Directed.";
    QTest::newRow("periodic 2 limited directed") << "periodic" << QStringList{"cmb_pdiscmode=2", "cb_pdriected=1"}
        << kPeriodicTitle << "When Discovery Mode is Limited-discoverable mode, the Periodic Advertiding cannot be Directed.";
    QTest::newRow("periodic 4 broadcaster directed") << "periodic"
        << QStringList{"cmb_pdiscmode=3", "cb_pdriected=1"} << kPeriodicTitle
        << "When Periodic Advertising is Directed, the Discovery Mode should be Non-discoverable mode.";
    QTest::newRow("periodic 5 no data, channels ignored") << "periodic"
        << QStringList{"cb_pchannal37=0", "cb_pchannal38=0", "cb_pchannal39=0"} << kPeriodicTitle
        << "Periodic Advertising should set Advertising Data.";
    QTest::newRow("periodic 6 intervals") << "periodic"
        << QStringList{name, "le_pprimmin=200", "le_pprimmax=199.375"} << kPeriodicTitle
        << "Periodic Advertising's Max Adv Interval should greater than Min Adv Interval.";
    QTest::newRow("periodic 7 channels") << "periodic"
        << QStringList{name, "cb_pchannal37=0", "cb_pchannal38=0", "cb_pchannal39=0"} << kPeriodicTitle
        << "Periodic Advertising's should choose at least one Channel Map.";
    QTest::newRow("periodic 8 no periodic data") << "periodic" << QStringList{name} << kPeriodicTitle
        << "Periodic Advertising should set PAdv Data.";
    QTest::newRow("periodic 9 zero peer") << "periodic"
        << QStringList{"cmb_pdiscmode=0", "cb_pdriected=1", name, "periodic=01"} << kPeriodicTitle
        << "Periodic Advertising's Peer Address can't be zero when it's a directed advertising.";

    // What the user typed is never raised, lowered, rounded or filled in: the
    // form refuses it before its own rules and names the field and what it takes.
    const QString periodic = QStringLiteral("periodic=01");
    const QString legacyInterval = QStringLiteral("enter a number from 20.000 to 10240.000 in steps of 0.625.");
    QTest::newRow("interval between steps") << "legacy" << QStringList{name, "le_intvmin=20.3"} << "error"
                                            << "Min Adv Interval(ms): \"20.3\" cannot be sent; " + legacyInterval;
    QTest::newRow("interval below min") << "legacy" << QStringList{name, "le_intvmin=15"} << "error"
                                        << "Min Adv Interval(ms): \"15\" cannot be sent; " + legacyInterval;
    QTest::newRow("tx power below min")
        << "legacy" << QStringList{name, "le_maxtxpower=-128"} << "error"
        << "Max TX Power: \"-128\" cannot be sent; enter a whole number from -127 to 127.";
    QTest::newRow("short peer address")
        << "legacy" << QStringList{name, "le_peeraddr=1122"} << "error"
        << "Peer Addr: \"1122\" cannot be sent; enter six bytes in hexadecimal, as 11:22:33:44:55:66.";
    QTest::newRow("extended interval below min")
        << "extended" << QStringList{name, "le_eprimmin=5"} << "error"
        << "Min Primary Adv Interval(ms): \"5\" cannot be sent; enter a number from 20.000 to 10485759.375 in "
           "steps of 0.625.";
    QTest::newRow("extended limited duration above max")
        << "extended" << QStringList{name, "cmb_eadvmode=2", "le_eduration=190000"} << "error"
        << "Duration(ms): \"190000\" cannot be sent; enter a number from 10 to 180000 in steps of 10.";
    QTest::newRow("periodic interval above max")
        << "periodic" << QStringList{name, periodic, "le_ppermax=90000"} << "error"
        << "Max periodic Interval(ms): \"90000\" cannot be sent; enter a number from 7.50 to 81918.75 in steps of "
           "1.25.";
    QTest::newRow("periodic empty duration")
        << "periodic" << QStringList{name, periodic, "le_pduration="} << "error"
        << "Duration(ms): \"\" cannot be sent; enter a number from 0 to 655350 in steps of 10.";
    QTest::newRow("periodic empty limited duration")
        << "periodic" << QStringList{name, periodic, "cmb_pdiscmode=2", "le_pduration="} << "error"
        << "Duration(ms): \"\" cannot be sent; enter a number from 10 to 180000 in steps of 10.";
}

void TestAdvForms::refusals()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, settings);
    QFETCH(QString, title);
    QFETCH(QString, text);

    FormOnLink f(kind, settings);
    QVERIFY(f.opened);
    CAdvBaseWidget *form = f.form.data();

    // The form logs the titles of its own rules; a typed value's refusal is the box alone.
    expectRefusal(f, [form] { QVERIFY(!form->setAdvParameter(index(0))); }, title, text,
                  title == QLatin1String("error") ? QString() : title);
}

void TestAdvForms::accepted_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("settings");

    const QString name = QStringLiteral("adv:Complete Local Name=abc");
    QTest::newRow("legacy 28 and 31 bytes")
        << "legacy" << QStringList{"adv:Custom AD type=" + QString(56, '1'), "res:Custom AD type=" + QString(62, '2')};
    QTest::newRow("legacy equal intervals") << "legacy" << QStringList{name, "le_intvmin=300", "le_intvmax=300"};
    QTest::newRow("legacy directed") << "legacy"
        << QStringList{"cmb_discmode=0", "cmb_advmode=3", "le_peeraddr=11:22:33:44:55:66"};
    QTest::newRow("legacy non-discoverable with policy") << "legacy"
        << QStringList{"cmb_discmode=0", "cb_lscan=1", "cb_lconn=1", name};
    QTest::newRow("extended scannable with response")
        << "extended" << QStringList{"cb_econnect=0", "cb_escannable=1", "res:Complete Local Name=ab"};
    QTest::newRow("extended directed in non-discoverable mode")
        << "extended" << QStringList{"cmb_eadvmode=0", "cb_edriected=1", "le_epeeraddr=00:00:00:00:00:01", name};
    QTest::newRow("extended anonymous broadcaster")
        << "extended" << QStringList{"cmb_eadvmode=3", "cb_econnect=0", "cb_eanonymous=1", name};
    QTest::newRow("periodic directed with peer")
        << "periodic" << QStringList{"cmb_pdiscmode=0", "cb_pdriected=1", "le_ppeeraddr=00:00:00:00:00:01", name, "periodic=01"};
    QTest::newRow("periodic min periodic above max")
        << "periodic" << QStringList{name, "periodic=01", "le_ppermin=300", "le_ppermax=100"};
    QTest::newRow("periodic odd data passes the check")
        << "periodic" << QStringList{name, "periodic=010"};
}

void TestAdvForms::accepted()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, settings);

    FormOnLink f(kind, settings);
    QVERIFY(f.opened);
    AdvRig &rig = f.rig;
    CAdvBaseWidget *form = f.form.data();
    QVERIFY(form->setAdvParameter(index(1)));
    QVERIFY(rig.waitForDownlinks(1));
    QCOMPARE(rig.dongle.receivedIds(), QStringList{kindOf(kind).commandId});
}

void TestAdvForms::fieldValues_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("edit");  // an edit whose shown text the read rewrote, or empty
    QTest::addColumn<QString>("shown");

    const QString name = QStringLiteral("adv:Complete Local Name=abc");
    QTest::newRow("interval 20.625") << "legacy" << QStringList{name, "le_intvmin=20.625"} << "intvMin"
                                     << hex("21 00") << "le_intvmin" << "20.625";
    QTest::newRow("interval 10240") << "legacy" << QStringList{name, "le_intvmax=10240"} << "intvMax" << hex("00 40")
                                    << "le_intvmax" << "10240.000";
    QTest::newRow("tx power -10") << "legacy" << QStringList{name, "le_maxtxpower=-10"} << "maxTxPower" << hex("F6")
                                  << "" << "";
    QTest::newRow("peer address") << "legacy" << QStringList{name, "le_peeraddr=11:22:33:44:55:66"} << "peerAddr"
                                  << hex("66 55 44 33 22 11") << "" << "";
    QTest::newRow("policy both") << "legacy" << QStringList{name, "cmb_discmode=0", "cb_lscan=1", "cb_lconn=1"}
                                 << "filterPolicy" << hex("03") << "" << "";
    QTest::newRow("channels 37 and 39") << "legacy" << QStringList{name, "cb_lchannal38=0"} << "chanMap" << hex("05")
                                        << "" << "";
    QTest::newRow("legacy modes") << "legacy" << QStringList{name, "cmb_owntype=2", "cmb_addrtype=1", "cmb_sacanreq=1"}
                                  << "ownType" << hex("02") << "" << "";

    QTest::newRow("extended largest interval") << "extended" << QStringList{name, "le_eprimmax=10485759.375"}
                                               << "eprimIntvMax" << hex("FF FF FF 00") << "" << "";
    QTest::newRow("extended duration 655350") << "extended" << QStringList{name, "le_eduration=655350"}
                                              << "eduration" << hex("FF FF") << "" << "";
    QTest::newRow("extended tx power -1") << "extended" << QStringList{name, "le_emaxtxpower=-1"} << "emaxTxPower"
                                          << hex("FF") << "" << "";
    QTest::newRow("extended tx power 127") << "extended" << QStringList{name, "le_emaxtxpower=127"}
                                           << "emaxTxPower" << hex("7F") << "" << "";
    QTest::newRow("extended peer") << "extended" << QStringList{name, "le_epeeraddr=11:22:33:44:55:66"}
                                   << "epeerAddr" << hex("66 55 44 33 22 11") << "" << "";
    QTest::newRow("extended scannable with scan requests")
        << "extended" << QStringList{"cb_econnect=0", "cb_escannable=1", "cb_escanreq=1", "res:Appearance=0001"}
        << "eproperties" << hex("02 01") << "" << "";
    QTest::newRow("extended directed") << "extended"
        << QStringList{name, "cmb_eadvmode=0", "cb_econnect=0", "cb_edriected=1", "le_epeeraddr=00:00:00:00:00:01"}
        << "eproperties" << hex("04 00") << "" << "";
    QTest::newRow("extended anonymous") << "extended"
        << QStringList{name, "cmb_eadvmode=0", "cb_econnect=0", "cb_eanonymous=1"} << "eproperties" << hex("20 00")
        << "" << "";
    QTest::newRow("extended tx power bit") << "extended" << QStringList{name, "cb_etxpower=1"} << "eproperties"
                                           << hex("41 00") << "" << "";
    QTest::newRow("extended phys") << "extended" << QStringList{name, "cmb_eprimphy=1"} << "eprimPhy" << hex("03")
                                   << "" << "";
    QTest::newRow("extended second phy") << "extended" << QStringList{name, "cmb_esecphy=1"} << "esecPhy"
                                         << hex("02") << "" << "";
    QTest::newRow("extended sid") << "extended" << QStringList{name, "le_esecsid=15"} << "esecSid" << hex("0F") << ""
                                  << "";

    const QString periodic = QStringLiteral("periodic=01");
    QTest::newRow("periodic tx power -127") << "periodic" << QStringList{name, periodic, "le_pmaxtxpower=-127"}
                                            << "pmaxTxPower" << hex("81") << "" << "";
    QTest::newRow("periodic largest periodic interval") << "periodic"
        << QStringList{name, periodic, "le_ppermax=81918.75"} << "pperIntvMax" << hex("FF FF") << "" << "";
    QTest::newRow("periodic properties") << "periodic"
        << QStringList{name, periodic, "cb_ptxpower=1", "cb_ppertxpwr=1"} << "pproperties" << hex("C0 00") << "" << "";
    QTest::newRow("periodic phys") << "periodic" << QStringList{name, periodic, "cmb_pprimphy=1", "cmb_psecphy=2"}
                                   << "psecPhy" << hex("03") << "" << "";
}

void TestAdvForms::fieldValues()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, settings);
    QFETCH(QString, key);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, edit);
    QFETCH(QString, shown);

    FormOnLink f(kind, settings);
    QVERIFY(f.opened);
    AdvRig &rig = f.rig;
    CAdvBaseWidget *form = f.form.data();
    QVERIFY(form->setAdvParameter(index(1)));
    QVERIFY(rig.waitForDownlinks(1));
    const QByteArray frame = rig.dongle.receivedBytes().first();
    const int offset = AdvForms::payloadOffset(kindOf(kind).commandId, key);
    QVERIFY(offset >= 0);
    QCOMPARE(FrameBuilder::toHex(frame.mid(5 + offset, bytes.size())), FrameBuilder::toHex(bytes));
    if (!edit.isEmpty())
        QCOMPARE(form->findChild<QLineEdit *>(edit)->text(), shown);
}

void TestAdvForms::invalidData_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("legacy advertising data is the marker") << "legacy" << QStringList{"adv:Custom AD type=4646"}
        << "Advertising data is wrong." << "Advertising data is wrong.";
    QTest::newRow("legacy scan response is the marker")
        << "legacy" << QStringList{"adv:Complete Local Name=a", "res:Custom AD type=4646"}
        << "Advertising data response is wrong." << "Advertising data response is wrong.";
    QTest::newRow("extended advertising data is the marker") << "extended"
        << QStringList{"adv:Custom AD type=4646"} << "Advertising data is wrong." << "Advertising data is wrong.";
    QTest::newRow("legacy data longer than its length byte")
        << "legacy" << QStringList{"adv:Custom AD type=" + QString(512, '1')} << "Advertising data is wrong."
        << "Advertising data is wrong.";
    QTest::newRow("legacy scan response longer than its length byte")
        << "legacy" << QStringList{"adv:Complete Local Name=a", "res:Custom AD type=" + QString(600, '2')}
        << "Advertising data response is wrong." << "Advertising data response is wrong.";
    QTest::newRow("periodic odd digit count") << "periodic"
        << QStringList{"adv:Complete Local Name=a", "periodic=03ff010"} << "Periodic data is wrong."
        << "Periodic data is wrong";
}

void TestAdvForms::invalidData()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, settings);
    QFETCH(QString, text);
    QFETCH(QString, logLine);

    FormOnLink f(kind, settings);
    QVERIFY(f.opened);
    CAdvBaseWidget *form = f.form.data();
    expectRefusal(f, [form] { form->setAdvData(index(0)); }, QStringLiteral("ERROR"), text, logLine);
}

void TestAdvForms::durationFollowsMode_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("tip");

    const QString limitedTip = QStringLiteral("unit:10ms, range:10ms to 180000ms");
    const QString generalTip = QStringLiteral("unit:10ms, range: 0ms to 655350ms");
    QTest::newRow("legacy directed high duty") << "legacy" << QStringList{"le_duration=50", "cmb_advmode=3"}
                                               << "le_duration" << "1280" << "unit:10ms, range:10ms to 1280ms";
    QTest::newRow("legacy directed high duty wins over limited")
        << "legacy" << QStringList{"cmb_discmode=2", "cmb_advmode=3"} << "le_duration" << "1280"
        << "unit:10ms, range:10ms to 1280ms";
    QTest::newRow("legacy limited") << "legacy" << QStringList{"cmb_discmode=2"} << "le_duration" << "180000"
                                    << limitedTip;
    QTest::newRow("legacy back to general") << "legacy" << QStringList{"cmb_discmode=2", "cmb_discmode=0"}
                                            << "le_duration" << "0" << generalTip;
    QTest::newRow("extended limited") << "extended" << QStringList{"cmb_eadvmode=2"} << "le_eduration" << "180000"
                                      << limitedTip;
    QTest::newRow("extended back") << "extended" << QStringList{"cmb_eadvmode=2", "cmb_eadvmode=3"}
                                   << "le_eduration" << "0" << generalTip;
    QTest::newRow("periodic limited") << "periodic" << QStringList{"cmb_pdiscmode=2"} << "le_pduration" << "180000"
                                      << limitedTip;
    QTest::newRow("periodic typed duration replaced") << "periodic"
        << QStringList{"le_pduration=500", "cmb_pdiscmode=0"} << "le_pduration" << "0" << generalTip;
}

void TestAdvForms::durationFollowsMode()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, settings);
    QFETCH(QString, edit);
    QFETCH(QString, shown);
    QFETCH(QString, tip);

    FormOnLink f(kind, settings, false);
    CAdvBaseWidget *form = f.form.data();
    auto *duration = form->findChild<QLineEdit *>(edit);
    QCOMPARE(duration->text(), shown);
    QCOMPARE(duration->toolTip(), tip);
}

void TestAdvForms::resetRestoresDefaults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("legacy") << "legacy"
        << QStringList{"cmb_advmode=2", "cmb_discmode=0", "cmb_addrtype=1", "cmb_owntype=1", "cmb_sacanreq=1",
                       "le_duration=300", "le_peeraddr=11:22:33:44:55:66", "le_intvmin=40", "le_intvmax=50",
                       "cb_lchannal37=0", "cb_lscan=1", "le_maxtxpower=5"};
    QTest::newRow("extended") << "extended"
        << QStringList{"cmb_eadvmode=0", "cmb_eaddrtype=1", "cmb_eprimphy=1", "cmb_esecphy=2", "cmb_eowntype=2",
                       "le_eduration=300", "le_emaxadvevt=3", "le_emaxtxpower=4", "le_epeeraddr=01",
                       "le_eprimmax=300", "le_eprimmin=200", "le_esecmaxskip=2", "le_esecsid=3", "cb_echannal38=0",
                       "cb_econnect=0", "cb_etxpower=1", "cb_escan=1"};
    QTest::newRow("periodic") << "periodic"
        << QStringList{"cmb_pdiscmode=0", "cmb_paddrtype=1", "cmb_pprimphy=1", "cmb_psecphy=2", "cmb_powntype=1",
                       "le_pduration=300", "le_pmaxadvevt=3", "le_pmaxtxpower=4", "le_ppeeraddr=01",
                       "le_ppermax=300", "le_ppermin=100", "le_pprimmax=300", "le_psecmaxskip=2", "le_psecsid=3",
                       "cb_pchannal39=0", "cb_ptxpower=1", "cb_ppertxpwr=1"};
}

void TestAdvForms::resetRestoresDefaults()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, changes);

    AdvRig rig;
    QVERIFY(rig.open());
    QScopedPointer<CAdvBaseWidget> fresh(makeForm(kind, rig));
    QScopedPointer<CAdvBaseWidget> changed(makeForm(kind, rig));
    AdvForms::apply(fresh.data(), minimalData(kind));
    AdvForms::apply(changed.data(), minimalData(kind) + changes);
    changed->findChild<QToolButton *>(QStringLiteral("btnResetAdvSettings"))->click();
    QVERIFY(fresh->setAdvParameter(index(0)));
    QVERIFY(changed->setAdvParameter(index(0)));
    QVERIFY(rig.waitForDownlinks(2));
    QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().at(1)), FrameBuilder::toHex(rig.dongle.receivedBytes().at(0)));
}

void TestAdvForms::failedSendIsReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow("legacy") << "legacy" << "send legacy advertising parameter set message failed";
    QTest::newRow("extended") << "extended" << "send extended advertising parameter set message failed";
    QTest::newRow("periodic") << "periodic" << "send periodic advertising parameter set message failed";
}

void TestAdvForms::failedSendIsReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, line);

    FormOnLink f(kind, minimalData(kind), false); // never opened: the link refuses every frame
    AdvRig &rig = f.rig;
    CAdvBaseWidget *form = f.form.data();
    QVERIFY(!form->setAdvParameter(index(0)));
    QVERIFY(rig.recorder->lines().contains(qMakePair(line, 4)));
}

void TestAdvForms::directedLegacyMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("directed");
    for (int mode = 0; mode < 5; ++mode)
        QTest::addRow("mode %d", mode) << mode << (mode >= 3);
}

void TestAdvForms::directedLegacyMode()
{
    QFETCH(int, mode);
    QFETCH(bool, directed);
    AdvRig rig;
    CAdvLegacyWidget form(&rig.link, &rig.logs, nullptr);
    form.findChild<QComboBox *>(QStringLiteral("cmb_advmode"))->setCurrentIndex(mode);
    QCOMPARE(form.isDirectedAdv(), directed);
}

QTEST_MAIN(TestAdvForms)
#include "tst_advforms.moc"
