#include "cconnectionwidget.h"
#include "clineeditsetting.h"
#include "csettingdialog.h"
#include "cstyledcombobox.h"
#include "cvalidatelineedit.h"
#include "dongletabrig.h"
#include "framebuilder.h"
#include "modalanswerer.h"
#include "simbehaviour_lists.h"

#include <QApplication>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

using Device = ListsBehaviour::Device;

// A dongle tab shown in a window, its simulated dongle keeping the lists.
struct TypingRig
{
    TypingRig() : tab(QStringLiteral("TypingDongle")) { lists = ListsBehaviour::install(*tab.dongle); }

    bool start() { return tab.start() && tab.showActive(); }

    template <typename T>
    T *widget(const char *name) const
    {
        return tab.widget->findChild<T *>(QString::fromLatin1(name));
    }

    int sent(const char *id) const { return tab.dongle->receivedBytesOf(QString::fromLatin1(id)).size(); }

    DongleTabRig tab;
    ListsBehaviour *lists = nullptr;
};

// Types into an edit as a user does: a click puts the focus there, the keys
// replace what it held.
void retype(QWidget *edit, const QString &text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(edit->hasFocus());
    QWidget *focused = QApplication::focusWidget();
    QTest::keyClick(focused, Qt::Key_A, Qt::ControlModifier);
    // QTest::keyClicks knows ASCII keys only; Latin-1 keys carry their own code.
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, focused, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

// What happened inside the modal dialog while it was answered.
struct Typing
{
    // Presses the button that is to refuse what the field holds, and notes
    // what the refusal left: the box, the dialog, the field and the wire.
    void pressRefused(QWidget *dialog, QWidget *button, QLineEdit *field, const std::function<int()> &sent)
    {
        fieldText = field->text();
        box = ModalAnswerer::clickAnsweringBox(button, QStringLiteral("m_pbOk"));
        stayedOpen = dialog->isVisible();
        keptText = field->text();
        focusBack = QTest::qWaitFor([field] { return field->hasFocus(); }, 2000);
        sentWhileRefused = sent();
    }

    ModalAnswerer::Seen box;
    bool stayedOpen = false;
    bool focusBack = false;
    QString keptText;
    int sentWhileRefused = -1;
    QString fieldText;
};

} // namespace

Q_DECLARE_METATYPE(ListsBehaviour::Device)

// A value that cannot be sent as it stands is refused where it was typed: a
// box names the field and what it takes, the field keeps the text and the
// focus, and nothing goes out until it is put right.
class TestTypedInput : public QObject
{
    Q_OBJECT

private slots:
    void listDialogsRefuseWhatTheyCannotSend_data();
    void listDialogsRefuseWhatTheyCannotSend();
    void longDeviceNameKeepsTheSettingsOpen();
};

void TestTypedInput::listDialogsRefuseWhatTheyCannotSend_data()
{
    QTest::addColumn<int>("listType");
    QTest::addColumn<QString>("sid");         // empty: the white list dialog
    QTest::addColumn<QString>("badField");
    QTest::addColumn<QString>("badKeys");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("goodKeys");
    QTest::addColumn<Device>("added");

    const QByteArray addr = FrameBuilder::fromHex("66 55 44 33 22 11");
    QTest::newRow("SID beyond 15") << 2 << "16" << "lineEdit_advSid" << "16"
                                   << "Bluetooth adv sid: \"16\" cannot be sent; enter a whole number from 0 to 15."
                                   << "15" << Device{addr, 0, 15};
    // The edit takes no "z" and no more than 17 characters.
    QTest::newRow("address of eleven digits")
        << 0 << QString() << "lineEdit_addr" << "zz:11:22:33:44:55:66:77"
        << "Bluetooth device addr: \":11:22:33:44:55:6\" cannot be sent; enter six bytes in hexadecimal, as "
           "11:22:33:44:55:66."
        << "11:22:33:44:55:66" << Device{addr, 0, 0};
}

void TestTypedInput::listDialogsRefuseWhatTheyCannotSend()
{
    QFETCH(int, listType);
    QFETCH(QString, sid);
    QFETCH(QString, badField);
    QFETCH(QString, badKeys);
    QFETCH(QString, box);
    QFETCH(QString, goodKeys);
    QFETCH(Device, added);

    TypingRig rig;
    QVERIFY(rig.start());
    const char *addCommand = listType == 2 ? "01@17" : "01@09";
    rig.widget<CStyledComboBox>("deviceListType")->setCurrentIndex(listType);

    Typing typing;
    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *dialog) {
        QApplication::setActiveWindow(dialog);
        auto *field = dialog->findChild<CValidateLineEdit *>(badField);
        retype(dialog->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_addr")), QStringLiteral("11:22:33:44:55:66"));
        if (!sid.isEmpty())
            retype(dialog->findChild<CValidateLineEdit *>(QStringLiteral("lineEdit_advSid")), sid);
        retype(field, badKeys);
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"));
        typing.pressRefused(dialog, ok, field, [&] { return rig.sent(addCommand); });
        retype(field, goodKeys);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::mouseClick(rig.widget<QToolButton>("deviceListAdd"), Qt::LeftButton);
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY2(answerer.failures().isEmpty(), qPrintable(answerer.failures().join(QLatin1Char('\n'))));

    QCOMPARE(typing.box.title, QStringLiteral("error"));
    QCOMPARE(typing.box.text, box);
    QVERIFY(typing.stayedOpen);
    QVERIFY(typing.focusBack);
    QCOMPARE(typing.keptText, typing.fieldText);
    QCOMPARE(typing.sentWhileRefused, 0);

    QTRY_COMPARE(rig.sent(addCommand), 1);
    if (listType == 2)
        QTRY_COMPARE(rig.lists->periodicList(), QVector<Device>{added});
    else
        QTRY_COMPARE(rig.lists->whiteList(), QVector<Device>{added});
}

void TestTypedInput::longDeviceNameKeepsTheSettingsOpen()
{
    TypingRig rig;
    QVERIFY(rig.start());
    // 128 characters, the edit's limit, of two UTF-8 bytes each.
    const QString tooLong(128, QChar(0xE9));

    Typing typing;
    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *modal) {
        auto *dialog = qobject_cast<CSettingDialog *>(modal);
        QVERIFY(dialog);
        QApplication::setActiveWindow(dialog);
        auto *name = qobject_cast<CLineEditSetting *>(dialog->setting(QStringLiteral("device_name")))->lineEdit();
        QVERIFY(name && name->isVisible());
        retype(name, tooLong);
        auto *setAll = dialog->findChild<QPushButton *>(QStringLiteral("pb_setAll"));
        // Neither the static (first "L2CAP Parameters Settings") nor the dynamic configuration goes out.
        typing.pressRefused(dialog, setAll, name,
                            [&] { return rig.sent("01@59") + rig.sent("04@11") + rig.sent("02@01"); });
        // One character less is 254 bytes.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::mouseClick(setAll, Qt::LeftButton);
    });
    QTest::mouseClick(rig.widget<QToolButton>("toolButton_configureSettings"), Qt::LeftButton);
    QVERIFY(answerer.waitUntilAnswered());
    QVERIFY2(answerer.failures().isEmpty(), qPrintable(answerer.failures().join(QLatin1Char('\n'))));

    QCOMPARE(typing.box.text,
             QStringLiteral("Device Name: the name takes 256 bytes in UTF-8; enter at most 255 bytes."));
    QVERIFY(typing.stayedOpen);
    QVERIFY(typing.focusBack);
    QCOMPARE(typing.keptText, tooLong);
    QCOMPARE(typing.sentWhileRefused, 0);

    QTRY_COMPARE(rig.sent("01@59"), 1);
    const QByteArray name = QString(127, QChar(0xE9)).toUtf8();
    QCOMPARE(FrameBuilder::toHex(rig.tab.dongle->receivedBytesOf(QStringLiteral("01@59")).constFirst()),
             FrameBuilder::toHex(FrameBuilder::downlink(0x01, 0x59, char(name.size()) + name)));
}

QTEST_MAIN(TestTypedInput)
#include "tst_typedinput.moc"
