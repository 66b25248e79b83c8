#include "adddevicedialog.h"
#include "addperiodicdevicedialog.h"
#include "cstyledcombobox.h"
#include "cvalidatelineedit.h"
#include "framebuilder.h"
#include "logmanager.h"
#include "modalanswerer.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

class RecordingLog : public LogManager
{
public:
    RecordingLog() : LogManager(QStringLiteral("adddevice")) {}
    void log(const QString &text, int level) override { lines << QStringLiteral("%1 %2").arg(level).arg(text); }
    QStringList lines;
};

QByteArray hex(const QString &text)
{
    return FrameBuilder::fromHex(text);
}

// Types into the open dialog the way a user would, then presses OK. When OK
// leaves the dialog open, notes that and presses Cancel.
struct Entry
{
    QString addr;
    int type = 0;
    QString sid; // periodic dialog only; empty: leave the field alone
    bool stayedOpen = false;
    QString box; // the text of a box OK opened
};

void fillAndConfirm(QWidget *dialog, Entry *entry)
{
    auto *addr = dialog->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_addr"));
    auto *type = dialog->findChild<CStyledComboBox *>(QStringLiteral("comboBox_addrType"));
    QVERIFY(addr && type);
    addr->clear();
    QTest::keyClicks(addr, entry->addr);
    type->setCurrentIndex(entry->type);
    if (!entry->sid.isNull()) {
        auto *sid = dialog->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_advSid"));
        QVERIFY(sid);
        sid->clear();
        QTest::keyClicks(sid, entry->sid);
    }
    entry->box = ModalAnswerer::clickAnsweringBox(dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok")),
                                                  QStringLiteral("m_pbOk"))
                     .text;
    entry->stayedOpen = dialog->isVisible();
    if (entry->stayedOpen)
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_cancel"))->click();
}

} // namespace

class TestAddDeviceDialogs : public QObject
{
    Q_OBJECT

private slots:
    void forms_data()
    {
        QTest::addColumn<bool>("periodic");
        QTest::newRow("white list") << false;
        QTest::newRow("periodic advertiser list") << true;
    }

    void forms()
    {
        QFETCH(bool, periodic);
        QScopedPointer<CFlatDialog> dialog(periodic ? static_cast<CFlatDialog *>(new AddPeriodicDeviceDialog(nullptr))
                                                    : new AddDeviceDialog(nullptr));
        QCOMPARE(dialog->m_lbTitle->text(), QStringLiteral("Add Device"));
        QWidget *form = dialog->m_content;
        QVERIFY(form->minimumWidth() >= 273 && form->minimumHeight() >= 120);

        auto *addr = form->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_addr"));
        QVERIFY(addr);
        QCOMPARE(addr->text(), QStringLiteral("00:00:00:00:00:00"));
        QCOMPARE(addr->maxLength(), 17);
        QCOMPARE(addr->getSubType(), QStringLiteral("addr"));
        auto *type = form->findChild<CStyledComboBox *>(QStringLiteral("comboBox_addrType"));
        QVERIFY(type);
        QCOMPARE(type->count(), 2);
        QCOMPARE(type->itemText(0), QStringLiteral("public"));
        QCOMPARE(type->itemText(1), QStringLiteral("random"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("Bluetooth device addr"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("label_2"))->text(),
                 QStringLiteral("Bluetooth address type"));
        QCOMPARE(form->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->text(), QStringLiteral("OK"));
        QCOMPARE(form->findChild<QPushButton *>(QStringLiteral("pushButton_cancel"))->text(), QStringLiteral("Cancel"));

        auto *sid = form->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_advSid"));
        QCOMPARE(sid != nullptr, periodic);
        if (periodic) {
            QCOMPARE(sid->text(), QStringLiteral("0"));
            QCOMPARE(sid->getSubType(), QStringLiteral("int"));
            QCOMPARE(form->findChild<QLabel *>(QStringLiteral("label_3"))->text(),
                     QStringLiteral("Bluetooth adv sid"));
        }
    }

    void whiteListEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("addr");
        QTest::addColumn<QString>("refusal"); // the box's text, when the typed address is refused

        const QString enter = QStringLiteral(" cannot be sent; enter six bytes in hexadecimal, as 11:22:33:44:55:66.");
        QTest::newRow("colon form") << "11:22:33:44:55:66" << 0 << true << hex("66 55 44 33 22 11") << QString();
        QTest::newRow("random") << "11:22:33:44:55:66" << 1 << true << hex("66 55 44 33 22 11") << QString();
        QTest::newRow("without colons") << "c0a1b2c3d4e5" << 0 << true << hex("e5 d4 c3 b2 a1 c0") << QString();
        QTest::newRow("upper case") << "AA:BB:CC:DD:EE:FF" << 1 << true << hex("ff ee dd cc bb aa") << QString();
        // A short address is no address: nothing is filled in behind the user's back.
        QTest::newRow("short") << "11:22" << 0 << false << QByteArray()
                               << "Bluetooth device addr: \"11:22\"" + enter;
        QTest::newRow("zero address") << "00:00:00:00:00:00" << 0 << false << QByteArray() << QString();
        QTest::newRow("zero without colons") << "000000000000" << 1 << false << QByteArray() << QString();
        QTest::newRow("empty") << "" << 0 << false << QByteArray() << "Bluetooth device addr: \"\"" + enter;
        // Letters beyond f are not even typed.
        QTest::newRow("not hex") << "1g:2h:33:44:55:66" << 0 << false << QByteArray()
                                 << "Bluetooth device addr: \"1:2:33:44:55:66\"" + enter;
    }

    void whiteListEntry()
    {
        QFETCH(QString, typed);
        QFETCH(int, type);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, addr);
        QFETCH(QString, refusal);

        RecordingLog log;
        AddDeviceDialog dialog(&log);
        Entry entry{typed, type, QString(), false, QString()};
        ModalAnswerer answerer;
        answerer.answerWith([&entry](QWidget *modal) { fillAndConfirm(modal, &entry); });
        const int result = dialog.exec();
        QVERIFY(answerer.failures().isEmpty());
        QCOMPARE(answerer.seen().value(0).title, QStringLiteral("Add Device"));
        QCOMPARE(entry.box, refusal);

        QCOMPARE(result, accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(entry.stayedOpen, !accepted);
        if (accepted) {
            QCOMPARE(dialog.getDevice().addr, addr);
            QCOMPARE(dialog.getDevice().addrType, QByteArray(1, char(type)));
            QVERIFY(dialog.getDevice().advSid.isEmpty());
            QVERIFY(log.lines.isEmpty());
        } else {
            QCOMPARE(log.lines, refusal.isEmpty()
                                    ? QStringList{"4 Add White List Error, The address 00:00:00:00:00:00 is invalid."}
                                    : QStringList());
            QVERIFY(dialog.getDevice().addr.isEmpty());
        }
    }

    void periodicEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("sid");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QByteArray>("addr");
        QTest::addColumn<QByteArray>("advSid");

        QTest::newRow("sid 15") << "11:22:33:44:55:66" << 1 << "15" << "" << "" << hex("66 55 44 33 22 11") << hex("0f");
        QTest::newRow("sid 0") << "01:02:03:04:05:06" << 0 << "0" << "" << "" << hex("06 05 04 03 02 01") << hex("00");
        QTest::newRow("sid 9") << "01:02:03:04:05:06" << 0 << "9" << "" << "" << hex("06 05 04 03 02 01") << hex("09");
        // Beyond 15 is refused, never held to 15 in silence.
        QTest::newRow("sid 16") << "11:22:33:44:55:66" << 0 << "16" << ""
                                << "Bluetooth adv sid: \"16\" cannot be sent; enter a whole number from 0 to 15."
                                << QByteArray() << QByteArray();
        QTest::newRow("sid 99") << "11:22:33:44:55:66" << 0 << "99" << ""
                                << "Bluetooth adv sid: \"99\" cannot be sent; enter a whole number from 0 to 15."
                                << QByteArray() << QByteArray();
        QTest::newRow("zero address") << "00:00:00:00:00:00" << 0 << "3"
                                      << "4 Add Periodic Adv List Error, The address 00:00:00:00:00:00 is invalid."
                                      << "" << QByteArray() << QByteArray();
    }

    void periodicEntry()
    {
        QFETCH(QString, typed);
        QFETCH(int, type);
        QFETCH(QString, sid);
        QFETCH(QString, log);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, addr);
        QFETCH(QByteArray, advSid);

        RecordingLog recording;
        AddPeriodicDeviceDialog dialog(&recording);
        Entry entry{typed, type, sid, false, QString()};
        ModalAnswerer answerer;
        answerer.answerWith([&entry](QWidget *modal) { fillAndConfirm(modal, &entry); });
        const int result = dialog.exec();
        QVERIFY(answerer.failures().isEmpty());
        QCOMPARE(entry.box, refusal);

        const bool accepted = log.isEmpty() && refusal.isEmpty();
        QCOMPARE(result, accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(entry.stayedOpen, !accepted);
        QCOMPARE(recording.lines, log.isEmpty() ? QStringList() : QStringList{log});
        QCOMPARE(dialog.getDevice().addr, addr);
        QCOMPARE(dialog.getDevice().advSid, advSid);
        if (accepted)
            QCOMPARE(dialog.getDevice().addrType, QByteArray(1, char(type)));
    }

    void closeButtonAndCancelReject_data()
    {
        QTest::addColumn<bool>("periodic");
        QTest::addColumn<QString>("button");
        QTest::newRow("white list, close button") << false << ModalAnswerer::CloseButton;
        QTest::newRow("white list, cancel") << false << QStringLiteral("pushButton_cancel");
        QTest::newRow("periodic list, close button") << true << ModalAnswerer::CloseButton;
        QTest::newRow("periodic list, cancel") << true << QStringLiteral("pushButton_cancel");
    }

    void closeButtonAndCancelReject()
    {
        QFETCH(bool, periodic);
        QFETCH(QString, button);
        RecordingLog log;
        QScopedPointer<CFlatDialog> dialog(periodic ? static_cast<CFlatDialog *>(new AddPeriodicDeviceDialog(&log))
                                                    : new AddDeviceDialog(&log));
        ModalAnswerer answerer;
        answerer.answerWith([button](QWidget *modal) {
            QTest::keyClicks(modal->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_addr")),
                             QStringLiteral("11:22:33:44:55:66"));
            auto *flat = qobject_cast<CFlatDialog *>(modal);
            QAbstractButton *press = button == ModalAnswerer::CloseButton
                                         ? static_cast<QAbstractButton *>(flat->m_tbClose)
                                         : modal->findChild<QPushButton *>(button);
            press->click();
        });
        QCOMPARE(dialog->exec(), int(QDialog::Rejected));
        QVERIFY(answerer.failures().isEmpty());
        const DeviceListEntry device = periodic ? static_cast<AddPeriodicDeviceDialog *>(dialog.data())->getDevice()
                                                : static_cast<AddDeviceDialog *>(dialog.data())->getDevice();
        QVERIFY(device.addr.isEmpty());
        QVERIFY(log.lines.isEmpty());
    }

    // What the dialogs hand on is what the command sender puts on the wire.
    void addressFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("addr");
        QTest::newRow("full") << "112233445566" << hex("66 55 44 33 22 11");
        QTest::newRow("colons ignored") << "11:22:33:44:55:66" << hex("66 55 44 33 22 11");
        QTest::newRow("two bytes") << "1122" << hex("22 11 00 00 00 00");
        QTest::newRow("odd digit count") << "123" << hex("23 01 00 00 00 00");
        QTest::newRow("one digit") << "a" << hex("0a 00 00 00 00 00");
        QTest::newRow("seven bytes are cut") << "11223344556677" << hex("77 66 55 44 33 22");
        QTest::newRow("non-hex skipped") << "1x1-22 33.44g55z66" << hex("66 55 44 33 22 11");
        QTest::newRow("empty") << "" << hex("00 00 00 00 00 00");
    }

    void addressFromText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, addr);
        QCOMPARE(AddDeviceDialog::addressFromText(text), addr);
    }
};

QTEST_MAIN(TestAddDeviceDialogs)
#include "tst_adddevicedialogs.moc"
