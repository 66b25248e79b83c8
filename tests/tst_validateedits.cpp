#include "cinputdialog.h"
#include "cvalidatelineedit.h"
#include "cvalidatetextedit.h"
#include "modalanswerer.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPushButton>
#include <QIntValidator>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

// The editor setup is a list: the setter name followed by its arguments.
using Setup = QStringList;

namespace {

void applySetup(CValidateLineEdit &edit, const QStringList &setup)
{
    const QString setter = setup.value(0);
    auto a = [&](int i) { return setup.value(i + 1); };
    if (setter == "int")
        edit.setIntType(a(0), a(1), a(2), a(3));
    else if (setter == "int8")
        edit.setInt8Type(a(0), a(1), a(2), a(3));
    else if (setter == "double")
        edit.setDoubleType(a(0), a(1), a(2), a(3), a(4), a(5));
    else if (setter == "int16double")
        edit.setInt16DoubleType(a(0), a(1), a(2), a(3), a(4), a(5));
    else if (setter == "hex")
        edit.setHexType(a(0), a(1), a(2), a(3), a(4));
    else if (setter == "addr")
        edit.setAddrType(a(0), a(1), a(2));
    else if (setter == "uuid")
        edit.setUuidType(a(0), a(1), a(2));
    else if (setter == "littleEnd")
        edit.setLittleEndType(a(0), a(1), a(2));
    else if (setter == "string")
        edit.setStringType(a(0), a(1));
    else if (setter != "none")
        QFAIL(qPrintable("unknown setter " + setter));
}

void focusOut(QWidget *widget)
{
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &event);
}

const Setup int16Rf{"int16double", "-128", "128", "0.1", "1", "2", "0"};
const Setup doubleInterval{"double", "7.5", "4000", "1.25", "2", "2", "7.5"};
const Setup intMtu{"int", "65", "512", "2", "512"};
const Setup int8Byte{"int8", "-128", "127", "1", "0"};
const Setup hexFree{"hex", "0", "", "", "", "0x[0-9a-fA-F]*"};
const Setup hexSix{"hex", "6", "", "", "", "0x[0-9a-fA-F]*"};
const Setup addr{"addr", "17", "", "[0-9a-fA-F:]*"};
const Setup littleEnd47{"littleEnd", "47", "", "[0-9a-fA-F:]*"};
const Setup littleEndFree{"littleEnd", "0", "", "[0-9a-fA-F:]*"};
const Setup uuid16{"uuid", "5", "", "[0-9a-fA-F:,]*"};
const Setup stringName{"string", "", "128"};

} // namespace

class TestValidateEdits : public QObject
{
    Q_OBJECT

private slots:
    void lineEditValue_data();
    void lineEditValue();
    void lineEditSetValue_data();
    void lineEditSetValue();
    void lineEditInitialText_data();
    void lineEditInitialText();
    void lineEditTyping_data();
    void lineEditTyping();
    void lineEditFocusOutNormalises();
    void lineEditRefusesWhatItCannotSend_data();
    void lineEditRefusesWhatItCannotSend();
    void refusalNamesTheFieldAndGivesTheFocusBack_data();
    void refusalNamesTheFieldAndGivesTheFocusBack();
    void lineEditRetypeForgetsEarlierType();
    void stringRoundTrip_data();
    void stringRoundTrip();

    void textEditValue_data();
    void textEditValue();
    void textEditFilters_data();
    void textEditFilters();
    void textEditPasteLimit_data();
    void textEditPasteLimit();
    void textEditDropInsertsDroppedText();
    void textEditSize();
    void inputDialogTyping_data();
    void inputDialogTyping();
    void inputDialogButtons_data();
    void inputDialogButtons();
};

// Shown text after getValue (which normalises first) and the message value.
void TestValidateEdits::lineEditValue_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("value");

    // Exact multiples stay exact although 0.3 / 0.1 is below 3 in double precision.
    QTest::newRow("int16double 0.3 stays") << int16Rf << "0.3" << "0.3" << "0003";
    QTest::newRow("int16double 12.3") << int16Rf << "12.3" << "12.3" << "007b";
    QTest::newRow("int16double at max") << int16Rf << "128" << "128.0" << "0500";
    QTest::newRow("int16double -12.3") << int16Rf << "-12.3" << "-12.3" << "ff85";
    QTest::newRow("double min 7.5") << doubleInterval << "7.5" << "7.50" << "0006";
    QTest::newRow("double whole steps shown with decimals") << doubleInterval << "10" << "10.00" << "0008";
    QTest::newRow("double at max") << doubleInterval << "4000" << "4000.00" << "0c80";
    QTest::newRow("double 0.625 step")
        << Setup{"double", "2.5", "40959.375", "0.625", "3", "2", "9.375"} << "9.375" << "9.375"
        << "000f";
    QTest::newRow("double 1.28 step")
        << Setup{"double", "0", "83884.8", "1.28", "2", "2", "0"} << "1.28" << "1.28" << "0001";
    QTest::newRow("double 0.7 step 0.1")
        << Setup{"double", "0", "100", "0.1", "1", "2", "0"} << "0.7" << "0.7" << "0007";
    QTest::newRow("int 512 length 2") << intMtu << "512" << "512" << "0200";
    QTest::newRow("int at min") << intMtu << "65" << "65" << "0041";
    QTest::newRow("int never cut") << Setup{"int", "0", "1000", "1", "10"} << "300" << "300"
                                   << "12c";
    QTest::newRow("int8 -1") << int8Byte << "-1" << "-1" << "ff";
    QTest::newRow("int8 5") << int8Byte << "5" << "5" << "05";
    QTest::newRow("hex free 0x") << hexFree << "0x" << "0x00" << "00";
    QTest::newRow("hex free odd") << hexFree << "0x123" << "0x0123" << "0123";
    QTest::newRow("hex free even") << hexFree << "0x1234" << "0x1234" << "1234";
    QTest::newRow("hex six pads") << hexSix << "0x1" << "0x0001" << "0001";
    QTest::newRow("hex six full stays") << hexSix << "0x1234" << "0x1234" << "1234";
    QTest::newRow("hex keeps user digits") << hexSix << "0xAbCd" << "0xAbCd" << "AbCd";
    QTest::newRow("addr without colons") << addr << "AABBCCDDEEFF" << "AA:BB:CC:DD:EE:FF" << "AABBCCDDEEFF";
    QTest::newRow("addr full") << addr << "11:22:33:44:55:66" << "11:22:33:44:55:66"
                               << "112233445566";
    QTest::newRow("littleEnd reverses") << littleEndFree << "11:22:33" << "11:22:33" << "332211";
    QTest::newRow("littleEnd 47 full")
        << littleEnd47 << QString("ab").repeated(16) << QString("ab:").repeated(15) + "ab"
        << QString("ab").repeated(16);
    QTest::newRow("littleEnd 47 pads")
        << littleEnd47 << "01:02" << "01:02" + QString(":00").repeated(14)
        << QString("00").repeated(14) + "0201";
    QTest::newRow("16bit pads parts") << uuid16 << "1234,5" << "12:34,00:05" << "12:34,00:05";
    QTest::newRow("16bit typed list") << uuid16 << "1234,5678" << "12:34,56:78" << "12:34,56:78";
    QTest::newRow("16bit empty part") << uuid16 << "1234," << "12:34,00:00" << "12:34,00:00";
    QTest::newRow("string AB") << stringName << "AB" << "AB" << "4241";
    QTest::newRow("string empty") << stringName << "" << "" << "";
    QTest::newRow("untyped strips colons") << Setup{"none"} << "11:22" << "11:22" << "1122";
}

void TestValidateEdits::lineEditValue()
{
    QFETCH(Setup, setup);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QString, value);

    CValidateLineEdit edit;
    applySetup(edit, setup);
    edit.setText(text);
    QCOMPARE(edit.getValue(), value);
    QCOMPARE(edit.text(), shown);
}

void TestValidateEdits::lineEditSetValue_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("int") << intMtu << "0200" << "512";
    QTest::newRow("int not a number") << intMtu << "zz" << "0";
    QTest::newRow("int8 ff") << int8Byte << "ff" << "-1";
    QTest::newRow("int8 low byte") << int8Byte << "17f" << "127";
    QTest::newRow("double") << doubleInterval << "0006" << "7.50";
    QTest::newRow("double big") << doubleInterval << "0c80" << "4000.00";
    QTest::newRow("int16double negative") << int16Rf << "ff85" << "-12.3";
    QTest::newRow("int16double too wide") << int16Rf << "10000" << "0.0";
    QTest::newRow("string") << stringName << "4241" << "AB";
    QTest::newRow("hex pads") << hexSix << "12" << "0x0012";
    QTest::newRow("hex free") << hexFree << "123" << "0x123";
    QTest::newRow("addr") << addr << "112233445566" << "11:22:33:44:55:66";
    QTest::newRow("littleEnd reversed") << littleEndFree << "0102" << "02:01";
    QTest::newRow("16bit unchanged") << uuid16 << "abcd" << "00:00";
}

void TestValidateEdits::lineEditSetValue()
{
    QFETCH(Setup, setup);
    QFETCH(QString, value);
    QFETCH(QString, shown);

    CValidateLineEdit edit;
    applySetup(edit, setup);
    edit.setValue(value);
    QCOMPARE(edit.text(), shown);
}

void TestValidateEdits::lineEditInitialText_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("subType");

    QTest::newRow("int default") << intMtu << "512" << "" << 255 << "int";
    QTest::newRow("int empty default is min") << Setup{"int", "65", "512", "2", ""} << "65" << ""
                                              << 255 << "int";
    QTest::newRow("int8 empty default") << Setup{"int8", "-5", "5", "1", ""} << "" << "" << 255
                                        << "int8";
    QTest::newRow("hex generated") << hexSix << "0x0000" << "" << 6 << "hex";
    QTest::newRow("hex free generated") << hexFree << "0x00" << "" << 34 << "hex";
    QTest::newRow("hex default")
        << Setup{"hex", "6", "", "", "0x1234", "0x[0-9a-fA-F]*"} << "0x1234" << "" << 6 << "hex";
    QTest::newRow("hex bad default falls to min")
        << Setup{"hex", "6", "0x0001", "", "zz", "0x[0-9a-fA-F]*"} << "0x0001" << "" << 6 << "hex";
    QTest::newRow("addr generated") << addr << "00:00:00:00:00:00" << "" << 17 << "addr";
    QTest::newRow("addr default")
        << Setup{"addr", "17", "11:22:33:44:55:66", "[0-9a-fA-F:]*"} << "11:22:33:44:55:66" << ""
        << 17 << "addr";
    QTest::newRow("littleEnd 47") << littleEnd47 << QString("00:").repeated(15) + "00" << ""
                                  << 47 << "littleEnd";
    QTest::newRow("littleEnd free") << littleEndFree << "" << "" << 5000 << "littleEnd";
    QTest::newRow("uuid 16") << uuid16 << "00:00" << "" << 255 << "16bit";
    QTest::newRow("uuid 32") << Setup{"uuid", "11", "", "[0-9a-fA-F:,]*"} << "00:00:00:00" << ""
                             << 255 << "32bit";
    QTest::newRow("uuid 128") << Setup{"uuid", "47", "", "[0-9a-fA-F:,]*"}
                              << QString("00:").repeated(15) + "00" << "" << 255 << "128bit";
    QTest::newRow("uuid other") << Setup{"uuid", "3", "", "[0-9a-fA-F:,]*"} << "00" << "" << 255
                                << "";
    QTest::newRow("string default") << Setup{"string", "Dongle", "128"} << "Dongle" << "" << 128
                                    << "string";
    QTest::newRow("string default as long as max")
        << Setup{"string", "ABCD", "4"} << "" << "Default Name(String)" << 4 << "string";
    QTest::newRow("string no default") << stringName << "" << "Default Name(String)" << 128
                                       << "string";
}

void TestValidateEdits::lineEditInitialText()
{
    QFETCH(Setup, setup);
    QFETCH(QString, text);
    QFETCH(QString, placeholder);
    QFETCH(int, maxLength);
    QFETCH(QString, subType);

    CValidateLineEdit edit;
    applySetup(edit, setup);
    QCOMPARE(edit.text(), text);
    QCOMPARE(edit.placeholderText(), placeholder);
    QCOMPARE(edit.maxLength(), maxLength);
    QCOMPARE(edit.getSubType(), subType);
}

// What the user can type: keys go through the validator and the edit handlers.
void TestValidateEdits::lineEditTyping_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");

    QTest::newRow("int refuses letters") << intMtu << "1a2" << "12";
    QTest::newRow("int refuses more digits than max") << intMtu << "5139" << "513";
    QTest::newRow("int refuses group separators") << intMtu << "1,2" << "12";
    QTest::newRow("int8 refuses group separators") << int8Byte << "-1,2" << "-12";
    QTest::newRow("hex refuses non hex") << hexSix << "1g2" << "0x12";
    QTest::newRow("double refuses letters") << doubleInterval << "7x.5" << "7.5";
    QTest::newRow("double precision") << doubleInterval << "7.505" << "7.50";
    QTest::newRow("int16double minus") << int16Rf << "-1.25" << "-1.2";
    QTest::newRow("addr refuses g") << addr << "1g1" << "11";
    QTest::newRow("16bit groups") << uuid16 << "12345678" << "1234,5678";
    QTest::newRow("16bit short group") << uuid16 << "123" << "123";
}

void TestValidateEdits::lineEditTyping()
{
    QFETCH(Setup, setup);
    QFETCH(QString, keys);
    QFETCH(QString, shown);

    CValidateLineEdit edit;
    applySetup(edit, setup);
    edit.clear();
    if (edit.getSubType() == "hex")
        edit.setText("0x");
    edit.setFocus();
    QTest::keyClicks(&edit, keys);
    QCOMPARE(edit.text(), shown);
}

void TestValidateEdits::lineEditFocusOutNormalises()
{
    QWidget window;
    auto *first = new CValidateLineEdit(&window);
    auto *second = new CValidateLineEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    first->setIntType("65", "512", "2", "512");
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Deleting the whole hex text leaves the prefix.
    second->setHexType("6", "", "", "", "0x[0-9a-fA-F]*");
    second->setFocus();
    second->selectAll();
    QTest::keyClick(second, Qt::Key_Delete);
    QCOMPARE(second->text(), QString("0x"));

    first->setFocus();
    QTRY_VERIFY(first->hasFocus());
    QCOMPARE(second->text(), QString("0x0000"));
    // Below the minimum is refused when sent, not raised in silence.
    first->selectAll();
    QTest::keyClicks(first, "5");
    second->setFocus();
    QTRY_VERIFY(second->hasFocus());
    QCOMPARE(first->text(), QString("5"));
    QVERIFY(!first->isAcceptable());
}

// Texts that cannot be sent as they stand: what the field says it takes, and
// the text kept as typed when the field is left and when its value is read.
void TestValidateEdits::lineEditRefusesWhatItCannotSend_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString mtu = "a whole number from 65 to 512";
    const QString interval = "a number from 7.50 to 4000.00 in steps of 1.25";
    const QString rf = "a number from -128.0 to 128.0 in steps of 0.1";
    const QString address = "six bytes in hexadecimal, as 11:22:33:44:55:66";
    QTest::newRow("int below min") << intMtu << "5" << mtu;
    QTest::newRow("int empty") << intMtu << "" << mtu;
    QTest::newRow("int above max") << Setup{"int", "0", "65535", "2", "0"} << "65536"
                                   << "a whole number from 0 to 65535";
    QTest::newRow("int8 above max") << Setup{"int8", "-10", "10", "1", "0"} << "99" << "a whole number from -10 to 10";
    QTest::newRow("int8 below min") << Setup{"int8", "-20", "127", "1", "0"} << "-30"
                                    << "a whole number from -20 to 127";
    QTest::newRow("int8 minus alone") << int8Byte << "-" << "a whole number from -128 to 127";
    QTest::newRow("double above max") << doubleInterval << "4001" << interval;
    QTest::newRow("double between steps") << doubleInterval << "8" << interval;
    QTest::newRow("double below min") << doubleInterval << "1" << interval;
    QTest::newRow("double empty") << doubleInterval << "" << interval;
    QTest::newRow("int16double between steps") << int16Rf << "0.35" << rf;
    QTest::newRow("int16double below min") << int16Rf << "-200" << rf;
    QTest::newRow("int16double above max") << int16Rf << "300" << rf;
    QTest::newRow("double without step") << Setup{"double", "0", "100", "", "2", "2", "0"} << "5"
                                         << "a number from 0.00 to 100.00";
    QTest::newRow("int16double without step") << Setup{"int16double", "-128", "128", "", "1", "2", "0"} << "-5"
                                              << "a number from -128.0 to 128.0";
    QTest::newRow("addr short") << addr << "11:22:3" << address;
    QTest::newRow("addr too long") << addr << "AABBCCDDEEFF11" << address;
    QTest::newRow("addr empty") << addr << "" << address;
    QTest::newRow("littleEnd free odd") << littleEndFree << "123" << "whole bytes in hexadecimal, two digits a byte";
    QTest::newRow("littleEnd 47 too long") << littleEnd47 << QString("ab").repeated(17)
                                           << "at most 16 bytes in hexadecimal, two digits a byte";
    QTest::newRow("littleEnd one byte, odd") << Setup{"littleEnd", "2", "", "[0-9a-fA-F:]*"} << "7"
                                             << "one byte in hexadecimal, two digits";
}

void TestValidateEdits::lineEditRefusesWhatItCannotSend()
{
    QFETCH(Setup, setup);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    CValidateLineEdit edit;
    applySetup(edit, setup);
    edit.setText(text);
    QVERIFY(!edit.isAcceptable());
    QCOMPARE(edit.expectedInput(), expected);
    focusOut(&edit);
    QCOMPARE(edit.text(), text);
    edit.getValue();
    QCOMPARE(edit.text(), text);
}

void TestValidateEdits::refusalNamesTheFieldAndGivesTheFocusBack_data()
{
    QTest::addColumn<bool>("lineEdit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("box"); // empty: accepted without a box

    QTest::newRow("line edit, in range") << true << "100" << QString();
    QTest::newRow("line edit, below min")
        << true << "5" << "Max MTU: \"5\" cannot be sent; enter a whole number from 65 to 512.";
    QTest::newRow("text edit, whole bytes") << false << "01:23" << QString();
    QTest::newRow("text edit, odd digit")
        << false << "01:2" << "Max MTU: \"01:2\" cannot be sent; enter whole bytes in hexadecimal, two digits a byte.";
}

void TestValidateEdits::refusalNamesTheFieldAndGivesTheFocusBack()
{
    QFETCH(bool, lineEdit);
    QFETCH(QString, text);
    QFETCH(QString, box);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *line = new CValidateLineEdit(&window);
    auto *multi = new CValidateTextEdit(&window);
    auto *other = new CValidateLineEdit(&window);
    layout->addWidget(line);
    layout->addWidget(multi);
    layout->addWidget(other);
    line->setIntType("65", "512", "2", "512");
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QWidget *field = lineEdit ? static_cast<QWidget *>(line) : multi;
    if (lineEdit)
        line->setText(text);
    else
        multi->setPlainText(text);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());

    ModalAnswerer answerer;
    if (!box.isEmpty())
        answerer.click("m_pbOk");
    // Labels end in a colon and blanks that line the fields up.
    const bool accepted = lineEdit ? line->acceptTyped("Max MTU:  ") : multi->acceptTyped("Max MTU:  ");
    QCOMPARE(accepted, box.isEmpty());
    if (accepted) {
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(other->hasFocus());
        return;
    }
    QVERIFY(answerer.failures().isEmpty());
    QCOMPARE(answerer.seen().value(0).title, QString("error"));
    QCOMPARE(answerer.seen().value(0).text, box);
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(lineEdit ? line->selectedText() : multi->textCursor().selectedText(), text);
}

void TestValidateEdits::lineEditRetypeForgetsEarlierType()
{
    CValidateLineEdit edit;
    edit.setStringType("", "8");
    QCOMPARE(edit.placeholderText(), QString("Default Name(String)"));
    edit.setIntType("0", "10", "1", "3");
    QCOMPARE(edit.placeholderText(), QString());
    QCOMPARE(edit.maxLength(), 255);
    QCOMPARE(edit.getSubType(), QString("int"));
    // The hex edit handler no longer runs once the editor is retyped.
    edit.setHexType("6", "", "", "", "0x[0-9a-fA-F]*");
    edit.setIntType("0", "10", "1", "3");
    edit.setFocus();
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QString());
    QCOMPARE(edit.validator(), static_cast<const QValidator *>(edit.findChild<QIntValidator *>()));
}

void TestValidateEdits::stringRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");

    QTest::newRow("ascii") << "Dongle 1" << "3120656c676e6f44";
    QTest::newRow("latin letters") << QString::fromUtf8("Gr\xc3\xbc\xc3\x9f") << "9fc3bcc37247";
    QTest::newRow("cjk") << QString::fromUtf8("\xe8\x93\x9d\xe7\x89\x99") << "9989e79d93e8";
    QTest::newRow("emoji") << QString::fromUtf8("A\xf0\x9f\x98\x80") << "80989ff041";
}

void TestValidateEdits::stringRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, value);

    CValidateLineEdit edit;
    edit.setStringType("", "128");
    edit.setText(name);
    QCOMPARE(edit.getValue(), value);

    CValidateLineEdit other;
    other.setStringType("", "128");
    other.setValue(value);
    QCOMPARE(other.text(), name);
}


// Shown text, emitted digit count and value; the value follows the focus-out
// rule for the bytes whether or not the field was left.
void TestValidateEdits::textEditValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("leave");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("value");

    QTest::newRow("new edit") << QString() << true << "00:00" << 4 << "0000";
    QTest::newRow("new edit kept") << QString() << false << "00:00" << -1 << "0000";
    // An odd digit is no whole byte: left as typed for the sender to refuse.
    QTest::newRow("odd, left") << "123" << true << "123" << 3 << "3012";
    QTest::newRow("odd, still focused") << "123" << false << "123" << -1 << "3012";
    QTest::newRow("pairs reversed") << "11:22:33" << false << "11:22:33" << -1 << "332211";
    QTest::newRow("odd with colons") << "01:23:4" << true << "01:23:4" << 5 << "402301";
    QTest::newRow("loose colons") << "1:2:3:4" << true << "12:34" << 4 << "3412";
    QTest::newRow("empty") << "" << false << "" << -1 << "";
    QTest::newRow("empty, left") << "" << true << "" << 0 << "";
    QTest::newRow("upper case kept") << "AbCd" << true << "Ab:Cd" << 4 << "CdAb";
}

void TestValidateEdits::textEditValue()
{
    QFETCH(QString, text);
    QFETCH(bool, leave);
    QFETCH(QString, shown);
    QFETCH(int, digits);
    QFETCH(QString, value);

    CValidateTextEdit edit;
    if (!text.isNull())
        edit.setPlainText(text);
    QSignalSpy length(&edit, &CValidateTextEdit::sig_textEditLength);
    const QString before = edit.getByteArray();
    if (leave)
        focusOut(&edit);
    QCOMPARE(edit.getText(), shown);
    QCOMPARE(length.count(), digits < 0 ? 0 : 1);
    if (digits >= 0)
        QCOMPARE(length.first().first().toInt(), digits);
    QCOMPARE(edit.getByteArray(), value);
    QCOMPARE(before, value);
}

void TestValidateEdits::textEditFilters_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("cursor");

    QTest::newRow("g after 0") << "0" << "g" << "0" << 1;
    QTest::newRow("letters inside") << "" << "1x2y" << "12" << 2;
    QTest::newRow("hex and colons pass") << "" << "aB:09" << "aB:09" << 5;
    QTest::newRow("space refused") << "12" << " " << "12" << 2;
}

void TestValidateEdits::textEditFilters()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, cursor);

    CValidateTextEdit edit;
    edit.setPlainText(start);
    edit.moveCursor(QTextCursor::End);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.getText(), shown);
    QCOMPARE(edit.textCursor().position(), cursor);
}

void TestValidateEdits::textEditPasteLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("inserted");

    QTest::newRow("1024") << 1024 << true;
    QTest::newRow("1025") << 1025 << false;
    QTest::newRow("short with foreign characters") << 6 << true;
}

void TestValidateEdits::textEditPasteLimit()
{
    QFETCH(int, length);
    QFETCH(bool, inserted);

    const QString text = length == 6 ? QString("12zz34") : QString(length, QLatin1Char('a'));
    QApplication::clipboard()->setText(text);
    CValidateTextEdit edit;
    edit.clear();
    ModalAnswerer answerer;
    if (!inserted)
        answerer.click("m_pbOk");
    edit.paste();
    if (inserted) {
        QCOMPARE(edit.getText(), length == 6 ? QString("1234") : text);
        QVERIFY(answerer.seen().isEmpty());
    } else {
        QVERIFY(answerer.waitUntilAnswered());
        QCOMPARE(edit.getText(), QString());
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen().first().title, QString("error"));
        QCOMPARE(answerer.seen().first().text, QString("text length should < 1kb"));
    }
}

void TestValidateEdits::textEditDropInsertsDroppedText()
{
    QApplication::clipboard()->setText("ffff");
    CValidateTextEdit edit;
    edit.clear();
    edit.resize(200, 80);
    QMimeData data;
    data.setText("abcd");
    const QPoint position(5, 5);
    QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit.viewport(), &enter);
    QDragMoveEvent move(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit.viewport(), &move);
    QDropEvent drop(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit.viewport(), &drop);
    QCOMPARE(edit.getText(), QString("abcd"));

    // Dropped data without text inserts nothing.
    QMimeData image;
    image.setData("image/png", QByteArray("\x89PNG", 4));
    QDropEvent imageDrop(position, Qt::CopyAction, &image, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit.viewport(), &imageDrop);
    QCOMPARE(edit.getText(), QString("abcd"));
}

void TestValidateEdits::textEditSize()
{
    CValidateTextEdit edit;
    QCOMPARE(edit.sizeHint().height(), 50);
    QCOMPARE(edit.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestValidateEdits::inputDialogTyping_data()
{
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("decimal letter after 12") << 10 << "12a" << "12";
    QTest::newRow("decimal colon") << 10 << "1:2" << "12";
    QTest::newRow("hex g") << 16 << "1g2" << "12";
    QTest::newRow("hex pairs") << 16 << "ab:0F" << "ab:0F";
    QTest::newRow("decimal point") << 10 << "12.3" << "123";
}

void TestValidateEdits::inputDialogTyping()
{
    QFETCH(int, base);
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    CInputDialog dialog{quint8(base), QString()};
    CValidatorTextEdit *edit = dialog.findChild<CValidatorTextEdit *>("textEditInput");
    QVERIFY(edit);
    QCOMPARE(int(edit->base()), base);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->toPlainText(), shown);

    // A refused key restores the text as it was, not a shortened one.
    edit->setPlainText(shown);
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(1);
    edit->setTextCursor(cursor);
    QTest::keyClicks(edit, "z");
    QCOMPARE(edit->toPlainText(), shown);
    QCOMPARE(edit->textCursor().position(), 1);
    // Emptying the field is allowed.
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->toPlainText(), QString());
}

void TestValidateEdits::inputDialogButtons_data()
{
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("emitted");

    QTest::newRow("decimal 123") << 10 << "123" << "pushButtonOK" << "12:03";
    QTest::newRow("hex with colons") << 16 << "12:3" << "pushButtonOK" << "12:03";
    QTest::newRow("even") << 16 << "abcd" << "pushButtonOK" << "ab:cd";
    QTest::newRow("cancel") << 16 << "abcd" << "pushButtonCancel" << QString();
}

void TestValidateEdits::inputDialogButtons()
{
    QFETCH(int, base);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QString, emitted);

    CInputDialog dialog(quint8(base), text);
    QCOMPARE(dialog.m_lbTitle->text(), QString());
    QCOMPARE(dialog.findChild<CValidatorTextEdit *>("textEditInput")->toPlainText(), text);
    QSignalSpy result(&dialog, &CInputDialog::sig_inputTextChanged);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QPushButton *>(button)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(result.count(), emitted.isNull() ? 0 : 1);
    if (!emitted.isNull())
        QCOMPARE(result.first().first().toString(), emitted);
}

QTEST_MAIN(TestValidateEdits)
#include "tst_validateedits.moc"
