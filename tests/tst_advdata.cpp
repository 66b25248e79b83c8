#include "advdatatypes.h"
#include "cadvdatawidget.h"
#include "cstyledcombobox.h"
#include "cvalidatelineedit.h"
#include "datatablemodel.h"
#include "framebuilder.h"
#include "modalanswerer.h"

#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

QByteArray hex(const QString &text)
{
    return FrameBuilder::fromHex(text);
}

// An editor with its widgets at hand, as a user reaches them.
struct Editor
{
    CAdvDataWidget widget;

    CStyledComboBox *types() const { return widget.findChild<CStyledComboBox *>(QStringLiteral("ADtypeCombox")); }
    CValidateLineEdit *value() const { return widget.findChild<CValidateLineEdit *>(QStringLiteral("valueLineEdit")); }
    CValidateLineEdit *periodic() const
    {
        return widget.findChild<CValidateLineEdit *>(QStringLiteral("le_periodicadvdatda"));
    }
    QTableView *table(bool response) const
    {
        return widget.findChild<QTableView *>(response ? QStringLiteral("tableView_resdata")
                                                       : QStringLiteral("tableView_advdata"));
    }
    dataTableModel *model(bool response) const { return qobject_cast<dataTableModel *>(table(response)->model()); }

    // Chooses the type, types the value and presses the add button.
    void add(const QString &type, const QString &text, bool response = false, bool typed = true)
    {
        types()->setCurrentText(type);
        value()->clear();
        if (typed)
            QTest::keyClicks(value(), text);
        else
            value()->setText(text);
        widget.findChild<QPushButton *>(response ? QStringLiteral("addResponceData") : QStringLiteral("addDataButton"))
            ->click();
    }
    QByteArray data(bool response) const { return response ? widget.getResData() : widget.getAdvData(); }
};

} // namespace

class TestAdvData : public QObject
{
    Q_OBJECT

private slots:
    void adTypesInCatalogueOrder();
    void structureBytes_data();
    void structureBytes();
    void rowsKeepTableOrder();
    void deleteTakesOnlyTheHighlightedRow_data();
    void deleteTakesOnlyTheHighlightedRow();
    void typedUuidsRegroup();
    void refusals_data();
    void refusals();
    void periodicData_data();
    void periodicData();
    void periodicSectionVisibility();
    void nameEditedInPlaceMatchesAdded_data();
    void nameEditedInPlaceMatchesAdded();
    void overlongNameEditedInPlaceIsRefused();
    void modelInPlaceRules_data();
    void modelInPlaceRules();
    void modelShape();
};

void TestAdvData::adTypesInCatalogueOrder()
{
    Editor editor;
    QStringList titles;
    for (int i = 0; i < editor.types()->count(); ++i)
        titles << editor.types()->itemText(i);
    QCOMPARE(titles, (QStringList{"UUID 16-bit Incomplete List", "UUID 16-bit Complete List",
                                  "UUID 32-bit Incomplete List", "UUID 32-bit Complete List",
                                  "UUID 128-bit Incomplete List", "UUID 128-bit Complete List", "Shortened Local Name",
                                  "Complete Local Name", "Tx Power Level", "Appearance", "Custom AD type"}));
    QCOMPARE(editor.types()->currentIndex(), 0);
    QCOMPARE(editor.value()->text(), QStringLiteral("00:00"));
}

void TestAdvData::structureBytes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("complete name") << "Complete Local Name" << "abc" << "abc" << hex("04 09 61 62 63");
    QTest::newRow("shortened name") << "Shortened Local Name" << "ab" << "ab" << hex("03 08 61 62");
    QTest::newRow("name outside ASCII: its UTF-8 bytes")
        << "Complete Local Name" << QString::fromUtf8("\xc3\xa9") << QString::fromLatin1("\xc3\xa9")
        << hex("03 09 c3 a9");
    QTest::newRow("16-bit incomplete") << "UUID 16-bit Incomplete List" << "180D" << "18:0D" << hex("03 02 0D 18");
    QTest::newRow("16-bit complete, two") << "UUID 16-bit Complete List" << "18:0D,18:0F" << "18:0D,18:0F"
                                          << hex("05 03 0D 18 0F 18");
    QTest::newRow("32-bit incomplete") << "UUID 32-bit Incomplete List" << "12345678" << "12:34:56:78"
                                       << hex("05 04 78 56 34 12");
    QTest::newRow("32-bit complete, padded") << "UUID 32-bit Complete List" << "1" << "00:00:00:01"
                                             << hex("05 05 01 00 00 00");
    QTest::newRow("128-bit incomplete")
        << "UUID 128-bit Incomplete List" << "000102030405060708090a0b0c0d0e0f"
        << "00:01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f"
        << hex("11 06 0f 0e 0d 0c 0b 0a 09 08 07 06 05 04 03 02 01 00");
    QTest::newRow("128-bit complete")
        << "UUID 128-bit Complete List" << "ffeeddccbbaa99887766554433221100"
        << "ff:ee:dd:cc:bb:aa:99:88:77:66:55:44:33:22:11:00"
        << hex("11 07 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff");
    QTest::newRow("tx power level") << "Tx Power Level" << "f6" << "f6" << hex("02 0A f6");
    QTest::newRow("appearance") << "Appearance" << "4103" << "4103" << hex("03 19 41 03");
    QTest::newRow("custom: whole structures") << "Custom AD type" << "020106" << "020106" << hex("02 01 06");
}

void TestAdvData::structureBytes()
{
    QFETCH(QString, type);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, bytes);

    for (bool response : {false, true}) {
        Editor editor;
        editor.add(type, typed, response, false);
        QCOMPARE(editor.model(response)->rowCount(), 1);
        QCOMPARE(editor.model(response)->index(0, 0).data().toString(), type);
        QCOMPARE(editor.model(response)->index(0, 1).data().toString(), shown);
        QCOMPARE(editor.data(response), bytes);
        QVERIFY(editor.data(!response).isEmpty());
    }
}

void TestAdvData::rowsKeepTableOrder()
{
    Editor editor;
    editor.add("Complete Local Name", "ab");
    editor.add("Appearance", "4103");
    editor.add("Custom AD type", "020106");
    QCOMPARE(editor.widget.getAdvData(), hex("03 09 61 62 03 19 41 03 02 01 06"));

    editor.table(false)->setCurrentIndex(editor.model(false)->index(1, 0));
    editor.widget.findChild<QToolButton *>("btnDeleteAdvData")->click();
    QCOMPARE(editor.widget.getAdvData(), hex("03 09 61 62 02 01 06"));

    // The same type may sit once in each list.
    editor.add("Complete Local Name", "cd", true);
    QCOMPARE(editor.widget.getResData(), hex("03 09 63 64"));
    editor.widget.findChild<QToolButton *>("btnClearAdvData")->click();
    QVERIFY(editor.widget.getAdvData().isEmpty());
    QCOMPARE(editor.widget.getResData(), hex("03 09 63 64"));
    editor.widget.findChild<QToolButton *>("btnClearResData")->click();
    QVERIFY(editor.widget.getResData().isEmpty());
}

void TestAdvData::deleteTakesOnlyTheHighlightedRow_data()
{
    QTest::addColumn<bool>("response");
    QTest::newRow("advertising data") << false;
    QTest::newRow("scan response data") << true;
}

void TestAdvData::deleteTakesOnlyTheHighlightedRow()
{
    QFETCH(bool, response);

    Editor editor;
    editor.widget.resize(1000, 500);
    editor.widget.show();
    QApplication::setActiveWindow(&editor.widget);
    QVERIFY(QTest::qWaitForWindowActive(&editor.widget));
    editor.add("Complete Local Name", "ab", response);
    editor.add("Appearance", "4103", response);
    editor.add("Custom AD type", "020106", response);
    QTableView *view = editor.table(response);
    auto *remove = editor.widget.findChild<QToolButton *>(response ? "btnDeleteResData" : "btnDeleteAdvData");
    const QPoint row1 = view->visualRect(editor.model(response)->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row1);
    QVERIFY(view->hasFocus());
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(editor.data(response), hex("03 09 61 62 02 01 06"));

    // The window gets its activation back with the table focused: Qt makes a
    // row current without highlighting it, and Delete has nothing to take.
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(&editor.widget);
    QVERIFY(QTest::qWaitForWindowActive(&editor.widget));
    QTRY_VERIFY(view->hasFocus());
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(editor.data(response), hex("03 09 61 62 02 01 06"));
    // The arrow keys highlight a row, and that row goes.
    QTest::keyClick(view, Qt::Key_Down);
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(editor.model(response)->rowCount(), 1);
}

void TestAdvData::typedUuidsRegroup()
{
    Editor editor;
    editor.add("UUID 16-bit Complete List", "180D180F");
    QCOMPARE(editor.model(false)->index(0, 1).data().toString(), QStringLiteral("18:0D,18:0F"));
    QCOMPARE(editor.widget.getAdvData(), hex("05 03 0D 18 0F 18"));
    editor.add("UUID 32-bit Complete List", "1234567800000001", true);
    QCOMPARE(editor.widget.getResData(), hex("09 05 78 56 34 12 01 00 00 00"));
}

void TestAdvData::refusals_data()
{
    QTest::addColumn<QStringList>("first");   // type, value of a row added before
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("response");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString dup = QStringLiteral("Cannot contain dupliucate UUID.");
    QTest::newRow("empty name") << QStringList() << "Complete Local Name" << "" << false << "ERROR"
                                << "The input advertising data is empty.";
    QTest::newRow("empty name, scan response") << QStringList() << "Complete Local Name" << "" << true << "ERROR"
                                               << "The input advertising response data is empty.";
    QTest::newRow("empty custom") << QStringList() << "Custom AD type" << "" << false << "ERROR"
                                  << "The input advertising data is empty.";
    QTest::newRow("type added twice") << QStringList{"Appearance", "0001"} << "Appearance" << "0002" << false
                                      << "ERROR" << "This ID Type has been added.";
    QTest::newRow("type added twice, scan response") << QStringList{"Appearance", "0001"} << "Appearance" << "0002"
                                                     << true << "ERROR" << "This ID Type has been added.";
    QTest::newRow("duplicate UUID") << QStringList() << "UUID 16-bit Complete List" << "18:0D,18:0D" << false
                                    << "Advertising Data Configuration Error" << dup;
    QTest::newRow("duplicate UUID in other case") << QStringList() << "UUID 16-bit Complete List" << "18:0d,18:0D"
                                                  << false << "Advertising Data Configuration Error" << dup;
    QTest::newRow("name of 255 bytes") << QStringList() << "Complete Local Name" << QString(255, QLatin1Char('a'))
                                       << false << "ERROR" << AdvDataTypes::nameTooLongText();
    // Half a byte is no byte: refused, never padded with a digit nobody typed.
    QTest::newRow("custom: odd count") << QStringList() << "Custom AD type" << "02010" << false << "error"
                                       << "Custom AD type: \"02010\" cannot be sent; enter whole bytes in hexadecimal, "
                                          "two digits a byte.";
    QTest::newRow("tx power level: one digit")
        << QStringList() << "Tx Power Level" << "7" << false << "error"
        << "Tx Power Level: \"7\" cannot be sent; enter one byte in hexadecimal, two digits.";
    QTest::newRow("name of 128 two-byte characters")
        << QStringList() << "Shortened Local Name" << QString(128, QChar(0xe9)) << true << "ERROR"
        << AdvDataTypes::nameTooLongText();
}

void TestAdvData::refusals()
{
    QFETCH(QStringList, first);
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(bool, response);
    QFETCH(QString, title);
    QFETCH(QString, text);

    Editor editor;
    if (!first.isEmpty())
        editor.add(first.at(0), first.at(1), response, false);
    const QByteArray before = editor.data(response);
    const int rows = editor.model(response)->rowCount();

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    editor.add(type, value, response, false);
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, title);
    QCOMPARE(answerer.seen().first().text, text);
    QCOMPARE(editor.model(response)->rowCount(), rows);
    QCOMPARE(editor.data(response), before);
}

void TestAdvData::periodicData_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("typed order") << "03ff0102" << hex("03 ff 01 02");
    QTest::newRow("with colons") << "03:ff:01:02" << hex("03 ff 01 02");
    QTest::newRow("odd digit count is the marker") << "03ff010" << QByteArray("FF");
    QTest::newRow("one digit is the marker") << "3" << QByteArray("FF");
}

void TestAdvData::periodicData()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);

    Editor editor;
    editor.periodic()->setText(typed);
    QCOMPARE(editor.widget.getPeriodicData(), bytes);
    // Asking twice gives the same answer: reading does not pad what the user typed.
    QCOMPARE(editor.widget.getPeriodicData(), bytes);
}

void TestAdvData::periodicSectionVisibility()
{
    Editor editor;
    editor.widget.show();
    QWidget *frame = editor.widget.findChild<QWidget *>(QStringLiteral("peradvdataframe"));
    QVERIFY(frame->isVisible());
    editor.widget.setPeriodicDataVisible(false);
    QVERIFY(!frame->isVisible());
    editor.widget.setPeriodicDataVisible(true);
    QVERIFY(frame->isVisible());
}

void TestAdvData::nameEditedInPlaceMatchesAdded_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("ASCII") << "Vantora";
    QTest::newRow("accented") << QString::fromUtf8("Caf\xc3\xa9");
    QTest::newRow("outside Latin-1") << QString::fromUtf8("\xe2\x82\xac 5");
    QTest::newRow("254 bytes") << QString(127, QChar(0xe9));
}

void TestAdvData::nameEditedInPlaceMatchesAdded()
{
    QFETCH(QString, name);

    Editor added;
    added.add("Complete Local Name", name, false, false);

    Editor edited;
    edited.add("Complete Local Name", "x", false, false);
    QVERIFY(edited.model(false)->setData(edited.model(false)->index(0, 1), name));

    QCOMPARE(edited.widget.getAdvData(), added.widget.getAdvData());
    QCOMPARE(edited.model(false)->index(0, 1).data(), added.model(false)->index(0, 1).data());
    const QByteArray utf8 = name.toUtf8();
    QCOMPARE(added.widget.getAdvData(), QByteArray(1, char(utf8.size() + 1)) + char(0x09) + utf8);
}

void TestAdvData::overlongNameEditedInPlaceIsRefused()
{
    Editor editor;
    editor.add("Shortened Local Name", "ab");
    const QByteArray before = editor.widget.getAdvData();

    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    QVERIFY(!editor.model(false)->setData(editor.model(false)->index(0, 1), QString(255, QLatin1Char('n'))));
    QVERIFY(answerer.waitUntilAnswered());
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("ERROR"));
    QCOMPARE(answerer.seen().first().text, AdvDataTypes::nameTooLongText());
    QCOMPARE(editor.widget.getAdvData(), before);
    QCOMPARE(editor.model(false)->index(0, 1).data().toString(), QStringLiteral("ab"));
}

void TestAdvData::modelInPlaceRules_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("name retyped") << "Complete Local Name" << "ab" << 1 << "xyz" << true;
    QTest::newRow("shortened name retyped") << "Shortened Local Name" << "ab" << 1 << "q" << true;
    QTest::newRow("name emptied") << "Complete Local Name" << "ab" << 1 << "" << false;
    QTest::newRow("type column") << "Complete Local Name" << "ab" << 0 << "Appearance" << false;
    QTest::newRow("UUID list") << "UUID 16-bit Complete List" << "180D" << 1 << "18:0F" << false;
    QTest::newRow("tx power") << "Tx Power Level" << "01" << 1 << "02" << false;
    QTest::newRow("appearance") << "Appearance" << "4103" << 1 << "0000" << false;
    QTest::newRow("custom") << "Custom AD type" << "020106" << 1 << "020105" << false;
}

void TestAdvData::modelInPlaceRules()
{
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);

    Editor editor;
    editor.add(type, value, false, false);
    dataTableModel *model = editor.model(false);
    const QString before = model->index(0, 1).data().toString();
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QCOMPARE(model->setData(model->index(0, column), typed), accepted);
    QCOMPARE(model->index(0, 1).data().toString(), accepted ? typed : before);
    QCOMPARE(model->index(0, 0).data().toString(), type);
    QCOMPARE(changed.count(), accepted ? 1 : 0);
    // Only the edit role edits.
    QVERIFY(!model->setData(model->index(0, 1), QStringLiteral("zz"), Qt::DisplayRole));
}

void TestAdvData::modelShape()
{
    dataTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("AD Type"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Value"));
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

    model.items().append(qMakePair(QStringLiteral("Complete Local Name"), QStringLiteral("ab")));
    model.items().append(qMakePair(QStringLiteral("Appearance"), QStringLiteral("4103")));
    model.refresh();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("4103"));
    QCOMPARE(model.index(1, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    // The in-place editor opens empty.
    QVERIFY(!model.index(0, 1).data(Qt::EditRole).isValid());
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!model.index(5, 0).data().isValid());

    model.deleteRow(0);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Appearance"));
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

QTEST_MAIN(TestAdvData)
#include "tst_advdata.moc"
