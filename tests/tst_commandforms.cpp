#include "capturelogger.h"
#include "ccfgfileparse.h"
#include "ccommand.h"
#include "ccommanduiwidget.h"
#include "cmsg.h"
#include "cmsgfield.h"
#include "cstandardmsgdlg.h"
#include "cvalidatelineedit.h"
#include "cvalidatetextedit.h"
#include "diagramwidget.h"
#include "framebuilder.h"
#include "logger.h"
#include "logmanager.h"
#include "modalanswerer.h"
#include "sigwidget.h"
#include "simbehaviour_forms.h"
#include "simulateddongle.h"
#include "uplinkmsghalftablemodel.h"
#include "uplinkmsgtablemodel.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

// Forms kept in the catalogue only for this test: cases the shipped forms do not have.
void addTestForms()
{
    auto *catalogue = CCfgFileParse::instance();
    UiComponentFields wide;
    wide.name = QStringLiteral("Test Wide Choice");
    UiFieldInfo choice;
    choice.key = QStringLiteral("choice");
    choice.title = QStringLiteral("Choice");
    choice.type = QStringLiteral("enum");
    choice.defaultValue = QStringLiteral("0");
    for (quint64 value : {quint64(1), quint64(10), quint64(26)}) {
        UiElemInfo elem;
        elem.value = value;
        elem.valueDesc = QStringLiteral("value %1").arg(value);
        choice.elemList.append(elem);
        choice.valueDescMap.insert(value, elem.valueDesc);
        choice.descValueMap.insert(elem.valueDesc, value);
    }
    wide.fields.append(choice);
    catalogue->m_downlinkNameToUiVec.append(wide);

    UiComponentFields lengths;
    lengths.name = QStringLiteral("Test Lengths");
    for (const QString &maxLength : {QStringLiteral("50"), QStringLiteral("51")}) {
        UiFieldInfo field;
        field.key = QStringLiteral("len_") + maxLength;
        field.title = QStringLiteral("Length ") + maxLength;
        field.type = QStringLiteral("lineEdit");
        field.subType = QStringLiteral("hex");
        field.maxLength = maxLength;
        lengths.fields.append(field);
    }
    catalogue->m_downlinkNameToUiVec.append(lengths);
}

QWidget *cell(QGridLayout *grid, int row, int column)
{
    QLayoutItem *item = grid->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

QTableWidget *listTable(QGridLayout *grid)
{
    return dynamic_cast<QTableWidget *>(cell(grid, 0, 0));
}

// The dialog a list's add button opens, wired to append its row to the list.
CStandardMsgDlg *addRowDialog(LogManager *log, const QString &command, CmsgField *list, QWidget *parent)
{
    auto *dialog = new CStandardMsgDlg(log, QStringLiteral("Add Attribute"), command, parent);
    QObject::connect(dialog, &CStandardMsgDlg::sig_standardOKClicked, list, &CmsgField::on_addElemToTableWidget);
    dialog->buildSubFieldForm();
    return dialog;
}

void setRowTexts(QTableWidget *table, int row, const QStringList &texts)
{
    for (int c = 0; c < texts.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(texts.at(c)));
}

// A field value's bytes in the order they go on the wire: its digit pairs, last first.
QByteArray wireBytes(const QString &value)
{
    QByteArray wire;
    for (int i = value.size() - 2; i >= 0; i -= 2)
        wire.append(char(value.mid(i, 2).toUInt(nullptr, 16)));
    return wire;
}

QStringList rowTexts(QTableWidget *table, int row)
{
    QStringList texts;
    for (int c = 0; c < table->columnCount(); ++c)
        texts << (table->item(row, c) ? table->item(row, c)->text() : QString());
    return texts;
}

// The editor beside the label with this text in a dialog's or form's grid.
template <typename Editor>
Editor *editorFor(QWidget *root, const QString &title)
{
    for (QGridLayout *grid : root->findChildren<QGridLayout *>()) {
        for (int r = 0; r < grid->rowCount(); ++r) {
            auto *label = qobject_cast<QLabel *>(cell(grid, r, 0));
            if (label && label->text() == title)
                return qobject_cast<Editor *>(cell(grid, r, 1));
        }
    }
    return nullptr;
}

// Rows of a command form: each row's widgets in order (layouts of check boxes count as one null entry).
QList<QList<QWidget *>> formRows(CCommandUiWidget &form)
{
    QList<QList<QWidget *>> rows;
    auto *vlayout = form.findChild<QVBoxLayout *>(QStringLiteral("VLayout"));
    for (int r = 0; vlayout && r < vlayout->count(); ++r) {
        QList<QWidget *> row;
        QLayout *layout = vlayout->itemAt(r)->layout();
        for (int i = 0; layout && i < layout->count(); ++i)
            row << layout->itemAt(i)->widget();
        rows << row;
    }
    return rows;
}

QWidget *formEditor(CCommandUiWidget &form, const QString &title)
{
    for (const QList<QWidget *> &row : formRows(form)) {
        for (int i = 0; i + 1 < row.size(); ++i) {
            auto *label = qobject_cast<QLabel *>(row.at(i));
            if (label && label->text() == title)
                return row.at(i + 1);
        }
    }
    return nullptr;
}

QList<QCheckBox *> formCheckBoxes(CCommandUiWidget &form, const QString &title)
{
    auto *vlayout = form.findChild<QVBoxLayout *>(QStringLiteral("VLayout"));
    for (int r = 0; r < vlayout->count(); ++r) {
        QLayout *row = vlayout->itemAt(r)->layout();
        for (int i = 0; i + 1 < row->count(); ++i) {
            auto *label = qobject_cast<QLabel *>(row->itemAt(i)->widget());
            if (label && label->text() == title && row->itemAt(i + 1)->layout()) {
                QList<QCheckBox *> boxes;
                QLayout *inner = row->itemAt(i + 1)->layout();
                for (int n = 0; n < inner->count(); ++n)
                    boxes << qobject_cast<QCheckBox *>(inner->itemAt(n)->widget());
                return boxes;
            }
        }
    }
    return {};
}

QVector<UiFieldInfo> formFields(const QString &name)
{
    for (const UiComponentFields &component : CCfgFileParse::instance()->m_downlinkNameToUiVec) {
        if (component.name == name)
            return component.fields;
    }
    return {};
}

QList<QTableView *> formTables(CCommandUiWidget &form)
{
    QList<QTableView *> tables;
    for (const QList<QWidget *> &row : formRows(form)) {
        for (QWidget *widget : row) {
            if (auto *view = qobject_cast<QTableView *>(widget))
                tables << view;
        }
    }
    return tables;
}

} // namespace

class TestCommandForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    // CmsgField
    void fieldEditorsByType();
    void securityLevelIsCollectedByValue();
    void choiceDefaults_data();
    void choiceDefaults();
    void choiceValuesAreHexadecimalText();
    void longFieldsGetTextEdits();
    void readMultipleListValue();
    void reliableWritesOddValueIsPadded();
    void listValueOfSeveralRows();
    void addAppendsEditRewritesCancelLeaves();
    void editWritesOverTheDoubleClickedRow();
    void mouseDoubleClickEditsThatRow();
    void addedRowReachesTheListValue();
    void removeWithoutCurrentRowRemovesNothing();
    void checkSubFieldEmitsPerList();
    void unknownCommandLogsAndYieldsNothing();
    void setFieldValuesWritesEditors();
    void rebuildClearsSharedGrid();
    void listOperationsAfterAnotherFormClearedTheGrid();

    // CStandardMsgDlg
    void dialogOkEmitsThenDeletes();
    void dialogCancelAndCloseEmitNothing();
    void dialogWithoutDescriptionIsEmpty();

    // CCommandUiWidget
    void formHeaderAndFolding();
    void editorRowsTwoPerRow();
    void bitTablesRows();
    void phyUpdateMaskCollects();
    void formChoiceIsHexadecimal();
    void readOnlyFormShowsNothingUntilAnswered();
    void answersFillFields();
    void answerOfWrongSizeStopsUpdate();
    void bitTableAnswerSetsIcons();
    void timeoutEndsRenegotiation();

    // Through the real link and the simulated dongle
    void connectionParameterRequestOnTheWire();
    void connectionParameterRuleRefuses_data();
    void connectionParameterRuleRefuses();
    void failedSendDoesNotAnimate();
    void readOnlyFormSendsConnectionIndexAndShowsAnswer();
    void listFormsAsTheyOpenOnTheWire_data();
    void listFormsAsTheyOpenOnTheWire();

private:
    QStringList m_lines;
    LogManager *m_log = nullptr;
};

void TestCommandForms::initTestCase()
{
    m_log = new LogManager(QStringLiteral("forms-test"));
    // Every line the forms log, whatever its level.
    m_log->addLogger(new CaptureLogger(&m_lines, LogLevel::Dongle, QStringLiteral("|")));
    addTestForms();
}

void TestCommandForms::init()
{
    m_lines.clear();
}

void TestCommandForms::cleanupTestCase()
{
    delete m_log;
}

void TestCommandForms::fieldEditorsByType()
{
    CmsgField form(m_log, QStringLiteral("Write Characteristic Value"));
    form.buildForm(false);
    auto *grid = form.findChild<QGridLayout *>();
    QVERIFY(grid);

    QCOMPARE(qobject_cast<QLabel *>(cell(grid, 0, 0))->text(), QStringLiteral("Attribute Handle"));
    auto *handle = qobject_cast<CValidateLineEdit *>(cell(grid, 0, 1));
    QVERIFY(handle);
    QCOMPARE(handle->getSubType(), QStringLiteral("hex"));
    QCOMPARE(handle->text(), QStringLiteral("0x0001"));
    QCOMPARE(handle->maxLength(), 6);

    QCOMPARE(qobject_cast<QLabel *>(cell(grid, 1, 0))->text(), QStringLiteral("Value"));
    QVERIFY(qobject_cast<CValidateTextEdit *>(cell(grid, 1, 1)));
    QVERIFY(!cell(grid, 2, 0));

    const QMap<QString, QVariant> values = form.getFieldValues(false);
    QCOMPARE(values.value("attrible_handle").toString(), QStringLiteral("0001"));
    QCOMPARE(values.value("value").toString(), QStringLiteral("0000"));
}

void TestCommandForms::securityLevelIsCollectedByValue()
{
    CmsgField form(m_log, QStringLiteral("Register PSM"));
    form.buildForm(false);
    auto *grid = form.findChild<QGridLayout *>();

    auto *psm = qobject_cast<CValidateLineEdit *>(cell(grid, 0, 1));
    QVERIFY(psm);
    QCOMPARE(psm->getSubType(), QStringLiteral("int"));
    QCOMPARE(psm->text(), QStringLiteral("1"));

    auto *level = qobject_cast<QComboBox *>(cell(grid, 1, 1));
    QVERIFY(level);
    QCOMPARE(level->count(), 4);
    QCOMPARE(level->itemText(0), QStringLiteral("GAP_SEC_LVL_NO_SECURITY"));
    QCOMPARE(level->itemText(3), QStringLiteral("GAP_SEC_LVL_SC_ENC_AUTH"));
    QCOMPARE(level->currentIndex(), 0);

    level->setCurrentText(QStringLiteral("GAP_SEC_LVL_SC_ENC_AUTH"));
    const QMap<QString, QVariant> values = form.getFieldValues(false);
    QCOMPARE(values.value("sec_level").toString(), QStringLiteral("3"));
    QCOMPARE(values.value("use_mks").toString(), QStringLiteral("0"));
    QCOMPARE(values.value("ls_psm").toString(), QStringLiteral("01"));
}

void TestCommandForms::choiceDefaults_data()
{
    QTest::addColumn<bool>("commandForm");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    // A field form reads the default as a value, a command form as a position.
    QTest::newRow("field form, value 2") << false << "CIS Parameter Get" << "PHY M2S" << "LE 2M";
    QTest::newRow("field form, value 1") << false << "Slave BIG Parameter Get" << "PHY" << "LE 1M";
    QTest::newRow("field form, value without entry") << false << "PHY Update" << "Specify options for PHYs"
                                                     << "S=2(without change)";
    QTest::newRow("command form, position 2") << true << "CIS Parameter Get" << "PHY M2S" << "LE Coded";
    QTest::newRow("command form, position 1") << true << "Slave BIG Parameter Get" << "PHY" << "LE 2M";
    QTest::newRow("command form, position 0") << true << "PHY Update" << "Specify options for PHYs"
                                              << "S=2(without change)";
}

void TestCommandForms::choiceDefaults()
{
    QFETCH(bool, commandForm);
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, shown);
    QComboBox *combo = nullptr;
    QTimer timer;
    CmsgField field(m_log, command);
    CCommandUiWidget form(nullptr, m_log, nullptr, command, &timer, true, 0, true);
    if (commandForm) {
        form.initUi(formFields(command));
        combo = qobject_cast<QComboBox *>(formEditor(form, title));
    } else {
        field.buildForm(false);
        combo = editorFor<QComboBox>(&field, title);
    }
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), shown);
}

void TestCommandForms::choiceValuesAreHexadecimalText()
{
    CmsgField form(m_log, QStringLiteral("Test Wide Choice"));
    form.buildForm(false);
    auto *combo = qobject_cast<QComboBox *>(cell(form.findChild<QGridLayout *>(), 0, 1));
    QVERIFY(combo);
    combo->setCurrentText(QStringLiteral("value 10"));
    QCOMPARE(form.getFieldValues(false).value("choice").toString(), QStringLiteral("a"));
    combo->setCurrentText(QStringLiteral("value 26"));
    QCOMPARE(form.getFieldValues(false).value("choice").toString(), QStringLiteral("1a"));
}

void TestCommandForms::longFieldsGetTextEdits()
{
    CmsgField form(m_log, QStringLiteral("Test Lengths"));
    form.buildForm(false);
    auto *grid = form.findChild<QGridLayout *>();
    QVERIFY(qobject_cast<CValidateLineEdit *>(cell(grid, 0, 1)));
    QVERIFY(qobject_cast<CValidateTextEdit *>(cell(grid, 1, 1)));
}

void TestCommandForms::readMultipleListValue()
{
    CmsgField form(m_log, QStringLiteral("Read Multiple Characteristic Values"));
    QSignalSpy contains(&form, &CmsgField::sig_containsSubField);
    form.buildForm(false);
    QCOMPARE(contains.count(), 1);

    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 2);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("Attribute Handle"));
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("Value Length"));
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(rowTexts(table, 0), QStringList({"0x0001", "1"}));
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);

    const QMap<QString, QVariant> values = form.getFieldValues(false);
    // Read from its end two digits at a time, this is 01 00 01 00 on the wire.
    QCOMPARE(values.value("attrible_handle_info").toString(), QStringLiteral("00010001"));
    QCOMPARE(values.value("handle_count").type(), QVariant::Int);
    QCOMPARE(values.value("handle_count").toInt(), 1);
}

void TestCommandForms::reliableWritesOddValueIsPadded()
{
    CmsgField form(m_log, QStringLiteral("Reliable Characteristic Value Writes"));
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    QVERIFY(table);
    QCOMPARE(rowTexts(table, 0), QStringList({"0x0001", "0x0000", "0"}));

    const QString value = form.getFieldValues(false).value("attrible_handle_list").toString();
    QCOMPARE(value.size() % 2, 0);
    // Handle 0001, offset 0000, one value byte 00: 01 00 00 00 01 00 00 on the wire.
    QCOMPARE(value, QStringLiteral("00000100000001"));
    QVERIFY(!form.getFieldValues(false).contains("handle_count"));
}

void TestCommandForms::listValueOfSeveralRows()
{
    CmsgField form(m_log, QStringLiteral("Reliable Characteristic Value Writes"));
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    table->setRowCount(2);
    setRowTexts(table, 0, {"0x0203", "0x0004", "aa:bb"});
    setRowTexts(table, 1, {"0x0010", "0x0000", "123"});
    const QString value = form.getFieldValues(false).value("attrible_handle_list").toString();
    // Wire order: row 0 = 03 02 | 04 00 | 02 00 aa bb, row 1 = 10 00 | 00 00 | 02 00 01 23.
    const QByteArray wire = wireBytes(value);
    QCOMPARE(wire.toHex(' '), QByteArray("03 02 04 00 02 00 aa bb 10 00 00 00 02 00 01 23"));
}

void TestCommandForms::addAppendsEditRewritesCancelLeaves()
{
    CmsgField form(m_log, QStringLiteral("Read Multiple Characteristic Values"));
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    table->setCurrentCell(0, 0);

    auto runAdd = [&](ModalAnswerer &answerer) {
        form.on_btnAddSubFieldClicked();
        auto *dialog = addRowDialog(m_log, QStringLiteral("Read Multiple Characteristic Values"), &form, &form);
        dialog->exec();
        QVERIFY(answerer.allAnswered());
    };

    {
        ModalAnswerer answerer;
        answerer.answerWith([](QWidget *modal) {
            editorFor<CValidateLineEdit>(modal, "Attribute Handle")->setText("0x002a");
            editorFor<CValidateLineEdit>(modal, "Value Length")->setText("20");
            modal->findChild<QPushButton *>("pushButtonOK")->click();
        });
        runAdd(answerer);
    }
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 0), QStringList({"0x0001", "1"}));
    QCOMPARE(rowTexts(table, 1), QStringList({"0x002a", "20"}));
    QCOMPARE(table->currentRow(), 1);
    QCOMPARE(form.getFieldValues(false).value("handle_count").toInt(), 2);

    {
        ModalAnswerer answerer;
        answerer.answerWith([](QWidget *modal) {
            editorFor<CValidateLineEdit>(modal, "Attribute Handle")->setText("0x0099");
            modal->findChild<QPushButton *>("pushButtonCancel")->click();
        });
        runAdd(answerer);
    }
    {
        ModalAnswerer answerer;
        answerer.click(ModalAnswerer::CloseButton);
        runAdd(answerer);
    }
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 1), QStringList({"0x002a", "20"}));
}

void TestCommandForms::editWritesOverTheDoubleClickedRow()
{
    CmsgField form(m_log, QStringLiteral("Reliable Characteristic Value Writes"));
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    table->insertRow(1);
    setRowTexts(table, 1, {"0x0005", "0x0000", "11:22"});
    table->setCurrentCell(1, 0);

    QString shownHandle;
    QString shownValue;
    QString title;
    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *modal) {
        title = ModalAnswerer::describe(modal).title;
        shownHandle = editorFor<CValidateLineEdit>(modal, "Attribute Handle")->text();
        auto *value = editorFor<CValidateTextEdit>(modal, "Value");
        shownValue = value->toPlainText();
        value->setPlainText("33:44:55");
        modal->findChild<QPushButton *>("pushButtonOK")->click();
    });
    form.on_subFieldWidgetCellDoubleClicked(1, 0);
    QVERIFY(answerer.waitUntilAnswered());

    QCOMPARE(title, QStringLiteral("Edit Attribute"));
    QCOMPARE(shownHandle, QStringLiteral("0x0005"));
    QCOMPARE(shownValue, QStringLiteral("11:22"));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 0), QStringList({"0x0001", "0x0000", "0"}));
    QCOMPARE(rowTexts(table, 1), QStringList({"0x0005", "0x0000", "33:44:55"}));
}

void TestCommandForms::mouseDoubleClickEditsThatRow()
{
    CmsgField form(m_log, QStringLiteral("Reliable Characteristic Value Writes"));
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    table->insertRow(1);
    setRowTexts(table, 1, {"0x0005", "0x0002", "11:22"});
    form.resize(400, 200);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    table->setCurrentCell(1, 0);

    QString shownOffset;
    ModalAnswerer answerer;
    answerer.answerWith([&](QWidget *modal) {
        shownOffset = editorFor<CValidateLineEdit>(modal, "Offset")->text();
        editorFor<CValidateLineEdit>(modal, "Offset")->setText("0x0007");
        // The description's "0" is half a byte, which OK would refuse.
        editorFor<CValidateTextEdit>(modal, "Value")->setPlainText("00");
        modal->findChild<QPushButton *>("pushButtonOK")->click();
    });
    const QPoint target = table->visualRect(table->model()->index(0, 1)).center();
    // A real double click is a click followed by the double-click event.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, target);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, target);
    QVERIFY(answerer.waitUntilAnswered());

    QCOMPARE(shownOffset, QStringLiteral("0x0000"));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 0), QStringList({"0x0001", "0x0007", "00"}));
    QCOMPARE(rowTexts(table, 1), QStringList({"0x0005", "0x0002", "11:22"}));
}

void TestCommandForms::addedRowReachesTheListValue()
{
    CmsgField form(m_log, QStringLiteral("Reliable Characteristic Value Writes"));
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    table->setCurrentCell(0, 0);

    form.on_btnAddSubFieldClicked();
    auto *dialog = addRowDialog(m_log, QStringLiteral("Reliable Characteristic Value Writes"), &form, &form);
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *modal) {
        editorFor<CValidateLineEdit>(modal, "Attribute Handle")->setText("0x0203");
        editorFor<CValidateLineEdit>(modal, "Offset")->setText("0x0004");
        editorFor<CValidateTextEdit>(modal, "Value")->setPlainText("aa:bb");
        modal->findChild<QPushButton *>("pushButtonOK")->click();
    });
    dialog->exec();
    QVERIFY(answerer.allAnswered());

    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(rowTexts(table, 1), QStringList({"0x0203", "0x0004", "aa:bb"}));
    QCOMPARE(table->currentRow(), 1);
    QCOMPARE(table->currentColumn(), 2);
    const QString value = form.getFieldValues(false).value("attrible_handle_list").toString();
    const QByteArray wire = wireBytes(value);
    QCOMPARE(wire.toHex(' '), QByteArray("01 00 00 00 01 00 00 03 02 04 00 02 00 aa bb"));
}

void TestCommandForms::removeWithoutCurrentRowRemovesNothing()
{
    CmsgField form(m_log, QStringLiteral("Read Multiple Characteristic Values"));
    form.removeCurrentSubFieldRow(); // no table yet
    form.buildForm(false);
    QTableWidget *table = listTable(form.findChild<QGridLayout *>());
    form.on_btnAddSubFieldClicked();
    QCOMPARE(table->currentRow(), -1);
    form.removeCurrentSubFieldRow();
    QCOMPARE(table->rowCount(), 1);
    table->setCurrentCell(0, 0);
    form.removeCurrentSubFieldRow();
    QCOMPARE(table->rowCount(), 0);
    QCOMPARE(form.getFieldValues(false).value("attrible_handle_info").toString(), QString());
    QCOMPARE(form.getFieldValues(false).value("handle_count").toInt(), 0);
}

void TestCommandForms::checkSubFieldEmitsPerList()
{
    CmsgField form(m_log, QStringLiteral("Write Characteristic Value"));
    QSignalSpy contains(&form, &CmsgField::sig_containsSubField);
    form.checkSubField(QStringLiteral("Read Multiple Characteristic Values"));
    QCOMPARE(contains.count(), 1);
    form.checkSubField(QStringLiteral("Write Characteristic Value"));
    QCOMPARE(contains.count(), 1);
    form.checkSubField(QStringLiteral("No Such Command"));
    QCOMPARE(contains.count(), 1);
    QVERIFY(m_lines.contains("1|find element from m_downlinkNameToUiVec failed."));
}

void TestCommandForms::unknownCommandLogsAndYieldsNothing()
{
    CmsgField form(m_log, QStringLiteral("No Such Command"));
    form.buildForm(false);
    QCOMPARE(form.findChild<QGridLayout *>()->count(), 0);
    QVERIFY(form.getFieldValues(false).isEmpty());
    form.setFieldValues({{"x", "1"}}, false);
    QCOMPARE(m_lines.count("1|find element from m_downlinkNameToUiVec failed."), 3);
}

void TestCommandForms::setFieldValuesWritesEditors()
{
    CmsgField form(m_log, QStringLiteral("Register PSM"));
    form.buildForm(false);
    form.setFieldValues({{"ls_psm", "42"}, {"sec_level", "GAP_SEC_LVL_LE_ENC_AUTH"}, {"other", "9"}}, false);
    auto *grid = form.findChild<QGridLayout *>();
    QCOMPARE(qobject_cast<CValidateLineEdit *>(cell(grid, 0, 1))->text(), QStringLiteral("42"));
    QCOMPARE(qobject_cast<QComboBox *>(cell(grid, 1, 1))->currentText(), QStringLiteral("GAP_SEC_LVL_LE_ENC_AUTH"));
    QCOMPARE(qobject_cast<QComboBox *>(cell(grid, 2, 1))->currentText(), QStringLiteral("false"));
    const QMap<QString, QVariant> values = form.getFieldValues(false);
    QCOMPARE(values.value("ls_psm").toString(), QStringLiteral("2a"));
    QCOMPARE(values.value("sec_level").toString(), QStringLiteral("2"));
}

void TestCommandForms::rebuildClearsSharedGrid()
{
    QWidget host;
    auto *grid = new QGridLayout(&host);
    CmsgField first(m_log, QStringLiteral("Write Characteristic Value"), grid, &host);
    first.buildForm(false);
    QPointer<QWidget> oldEditor = cell(grid, 1, 1);
    QVERIFY(oldEditor);

    CmsgField second(m_log, QStringLiteral("Register PSM"), grid, &host);
    second.buildForm(false);
    QVERIFY(oldEditor.isNull());
    QCOMPARE(qobject_cast<QLabel *>(cell(grid, 0, 0))->text(), QStringLiteral("LS PSM"));
    QCOMPARE(qobject_cast<QLabel *>(cell(grid, 2, 0))->text(), QStringLiteral("Use Max Key Size"));
    QCOMPARE(grid->count(), 6);

    // A sub-field build of a command without a list keeps the command's own fields.
    second.buildForm(true);
    QCOMPARE(grid->count(), 6);
}

void TestCommandForms::listOperationsAfterAnotherFormClearedTheGrid()
{
    QWidget host;
    auto *grid = new QGridLayout(&host);
    CmsgField list(m_log, QStringLiteral("Read Multiple Characteristic Values"), grid, &host);
    list.buildForm(false);
    QPointer<QTableWidget> table = listTable(grid);
    QVERIFY(table);

    // Another form building into the same grid destroys the list's table.
    CmsgField other(m_log, QStringLiteral("Register PSM"), grid, &host);
    other.buildForm(false);
    QVERIFY(table.isNull());

    // The list form now has no table: its list operations do nothing.
    list.on_btnAddSubFieldClicked();
    list.removeCurrentSubFieldRow();
    list.on_subFieldWidgetCellDoubleClicked(0, 0);
    auto *dialog = addRowDialog(m_log, QStringLiteral("Read Multiple Characteristic Values"), &list, &host);
    ModalAnswerer answerer;
    answerer.click("pushButtonOK");
    dialog->exec();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(grid->count(), 6);
    QCOMPARE(qobject_cast<QLabel *>(cell(grid, 0, 0))->text(), QStringLiteral("LS PSM"));
}

void TestCommandForms::dialogOkEmitsThenDeletes()
{
    QPointer<CStandardMsgDlg> dialog = new CStandardMsgDlg(m_log, QStringLiteral("Register"),
                                                           QStringLiteral("Register PSM"));
    QCOMPARE(dialog->testAttribute(Qt::WA_DeleteOnClose), true);
    QCOMPARE(dialog->m_lbTitle->text(), QStringLiteral("Register"));
    QCOMPARE(dialog->m_content->minimumSize(), QSize(271, 250));
    QCOMPARE(dialog->findChild<QPushButton *>("pushButtonOK")->text(), QStringLiteral("OK"));
    QCOMPARE(dialog->findChild<QPushButton *>("pushButtonCancel")->text(), QStringLiteral("Cancel"));
    // Nothing is built until asked for.
    QVERIFY(dialog->findChildren<QComboBox *>().isEmpty());
    dialog->buildForm();
    QMap<QString, QVariant> valuesAtOk;
    int emitted = 0;
    connect(dialog.data(), &CStandardMsgDlg::sig_standardOKClicked, this, [&] {
        ++emitted;
        valuesAtOk = qobject_cast<CStandardMsgDlg *>(sender())->getFieldValues();
    });
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *modal) {
        qobject_cast<QComboBox *>(modal->findChildren<QComboBox *>().value(0))->setCurrentIndex(3);
        modal->findChild<QPushButton *>("pushButtonOK")->click();
    });
    dialog->exec();
    QCOMPARE(emitted, 1);
    QCOMPARE(valuesAtOk.value("sec_level").toString(), QStringLiteral("3"));
    QTRY_VERIFY(dialog.isNull());
}

void TestCommandForms::dialogCancelAndCloseEmitNothing()
{
    for (const QString &button : {QStringLiteral("pushButtonCancel"), ModalAnswerer::CloseButton}) {
        QPointer<CStandardMsgDlg> dialog = new CStandardMsgDlg(m_log, QStringLiteral("Create COC"),
                                                               QStringLiteral("Create COC"));
        dialog->buildForm();
        QSignalSpy ok(dialog.data(), &CStandardMsgDlg::sig_standardOKClicked);
        ModalAnswerer answerer;
        answerer.click(button);
        dialog->exec();
        QVERIFY2(answerer.allAnswered(), qPrintable(answerer.failures().join(", ")));
        QCOMPARE(ok.count(), 0);
        QTRY_VERIFY(dialog.isNull());
    }
}

void TestCommandForms::dialogWithoutDescriptionIsEmpty()
{
    auto *dialog = new CStandardMsgDlg(m_log, QStringLiteral("Nothing"), QStringLiteral("No Such Command"));
    dialog->buildForm();
    QMap<QString, QVariant> values{{"marker", 1}};
    connect(dialog, &CStandardMsgDlg::sig_standardOKClicked, this,
            [&] { values = qobject_cast<CStandardMsgDlg *>(sender())->getFieldValues(); });
    ModalAnswerer answerer;
    answerer.click("pushButtonOK");
    dialog->exec();
    QVERIFY(values.isEmpty());
}

void TestCommandForms::formHeaderAndFolding()
{
    QTimer timer;
    CCommandUiWidget editable(nullptr, m_log, nullptr, QStringLiteral("PHY Update"), &timer, true, 0, true);
    editable.initUi(formFields("PHY Update"));
    auto *frame = editable.findChild<QFrame *>("frame");
    auto *button = editable.findChild<QPushButton *>("btn_command");
    auto *label = editable.findChild<QLabel *>("commandLabel");
    QCOMPARE(button->text(), QStringLiteral("Update"));
    QCOMPARE(label->text(), QStringLiteral("PHY Update"));
    QCOMPARE(editable.getCmdName(), QStringLiteral("PHY Update"));
    QVERIFY(!frame->isHidden());

    editable.findChild<QToolButton *>("toolButton")->click();
    QVERIFY(frame->isHidden());
    auto *header = editable.findChild<SigWidget *>("widgetSig");
    QTest::mouseClick(header, Qt::RightButton);
    QVERIFY(frame->isHidden());
    QTest::mouseClick(header, Qt::LeftButton);
    QVERIFY(!frame->isHidden());

    CCommandUiWidget readOnly(nullptr, m_log, nullptr, QStringLiteral("Get Peer Features"), &timer, false, 0, false);
    QCOMPARE(readOnly.findChild<QPushButton *>("btn_command")->text(), QStringLiteral("Get"));
    QVERIFY(readOnly.findChild<QFrame *>("frame")->isHidden());
}

void TestCommandForms::editorRowsTwoPerRow()
{
    QTimer timer;
    const QString name = QStringLiteral("Update Connection Parameters Request");
    CCommandUiWidget form(nullptr, m_log, nullptr, name, &timer, true, 0, true);
    form.initUi(formFields(name));
    const QList<QList<QWidget *>> rows = formRows(form);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).size(), 4);
    QCOMPARE(qobject_cast<QLabel *>(rows.at(0).at(0))->text(), QStringLiteral("Connection Interval Minimum(ms)"));
    QCOMPARE(qobject_cast<QLabel *>(rows.at(1).at(2))->text(), QStringLiteral("Supervision Timeout(ms)"));
    // The lone last field keeps half a row: label, editor and two empty halves.
    QCOMPARE(rows.at(2).size(), 4);
    QCOMPARE(qobject_cast<QLabel *>(rows.at(2).at(0))->text(), QStringLiteral("CE Length(ms)"));
    QVERIFY(!qobject_cast<QLabel *>(rows.at(2).at(2)));
    QVERIFY(rows.at(2).at(2) && rows.at(2).at(3));

    auto *edit = qobject_cast<CValidateLineEdit *>(rows.at(0).at(1));
    QCOMPARE(edit->getSubType(), QStringLiteral("double"));
    QVERIFY(edit->isEnabled());

    QCOMPARE(formRows(form).size(), 3);
    const QMap<QString, QVariant> values = form.collectFieldValues();
    QCOMPARE(values.value("interval_min").toString(), QStringLiteral("0006"));
    QCOMPARE(values.value("sup_timeout").toString(), QStringLiteral("0064"));
    QCOMPARE(values.value("ce_length").toString(), QStringLiteral("0002"));
    QCOMPARE(values.value("slave_latency").toString(), QStringLiteral("0000"));
}

void TestCommandForms::bitTablesRows()
{
    QTimer timer;
    CCommandUiWidget features(nullptr, m_log, nullptr, QStringLiteral("Get Peer Features"), &timer, false, 0, true);
    features.initUi(formFields("Get Peer Features"));
    QCOMPARE(formRows(features).size(), 1);
    QList<QTableView *> tables = formTables(features);
    QCOMPARE(tables.size(), 1);
    auto *full = dynamic_cast<uplinkMsgTableModel *>(tables.at(0)->model());
    QVERIFY(full);
    QAbstractItemModelTester fullTester(full, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(full->rowCount(), 9);
    QCOMPARE(full->title(), QStringLiteral("Features"));
    QCOMPARE(full->data(full->index(8, 0)).toString(), QStringLiteral("Minimum Number of Used Channels Procedure"));
    QCOMPARE(tables.at(0)->height(), 150);

    CCommandUiWidget phy(nullptr, m_log, nullptr, QStringLiteral("Get Connection PHY"), &timer, false, 0, true);
    phy.initUi(formFields("Get Connection PHY"));
    QCOMPARE(formRows(phy).size(), 1);
    tables = formTables(phy);
    QCOMPARE(tables.size(), 2);
    for (QTableView *view : tables) {
        auto *half = dynamic_cast<uplinkMsgHalfTableModel *>(view->model());
        QVERIFY(half);
        QCOMPARE(half->rowCount(), 3);
    }
    QCOMPARE(dynamic_cast<uplinkMsgHalfTableModel *>(tables.at(1)->model())->title(),
             QStringLiteral("LE PHY for data reception"));
}

void TestCommandForms::phyUpdateMaskCollects()
{
    QTimer timer;
    CCommandUiWidget form(nullptr, m_log, nullptr, QStringLiteral("PHY Update"), &timer, true, 0, true);
    form.initUi(formFields("PHY Update"));
    auto *options = qobject_cast<QComboBox *>(formEditor(form, "Specify options for PHYs"));
    QVERIFY(options);
    QCOMPARE(options->currentText(), QStringLiteral("S=2(without change)"));

    QList<QCheckBox *> trans = formCheckBoxes(form, "Transmitter PHYs");
    QList<QCheckBox *> receive = formCheckBoxes(form, "Receiver PHYs");
    QCOMPARE(trans.size(), 3);
    QVERIFY(trans.at(0)->isChecked() && !trans.at(1)->isChecked() && !trans.at(2)->isChecked());
    QVERIFY(receive.at(0)->isChecked());

    trans.at(0)->setChecked(false);
    trans.at(1)->setChecked(true);
    trans.at(2)->setChecked(true);
    const QMap<QString, QVariant> values = form.collectFieldValues();
    QCOMPARE(values.value("trans_phys").toUInt(), 6u);
    QCOMPARE(values.value("receive_phys").toUInt(), 1u);
    QCOMPARE(values.value("host_specify_options").toString(), QStringLiteral("1"));
}

void TestCommandForms::formChoiceIsHexadecimal()
{
    QTimer timer;
    CCommandUiWidget form(nullptr, m_log, nullptr, QStringLiteral("Test Wide Choice"), &timer, true, 0, true);
    form.initUi(formFields("Test Wide Choice"));
    auto *combo = qobject_cast<QComboBox *>(formEditor(form, "Choice"));
    QCOMPARE(combo->currentText(), QStringLiteral("value 1"));
    combo->setCurrentIndex(2);
    QCOMPARE(form.collectFieldValues().value("choice").toString(), QStringLiteral("1a"));
}

void TestCommandForms::readOnlyFormShowsNothingUntilAnswered()
{
    QTimer timer;
    CCommandUiWidget form(nullptr, m_log, nullptr, QStringLiteral("Device BD_Address Get"), &timer, false, 0, true);
    form.initUi(formFields("Device BD_Address Get"));
    auto *type = qobject_cast<QComboBox *>(formEditor(form, "BD Address Type"));
    QVERIFY(type);
    QCOMPARE(type->currentIndex(), -1);
    QCOMPARE(type->currentText(), QString());
    QVERIFY(!type->isEnabled());
    QVERIFY(!formEditor(form, "BD Address")->isEnabled());
}

void TestCommandForms::answersFillFields()
{
    QTimer timer;
    CCommandUiWidget address(nullptr, m_log, nullptr, QStringLiteral("Device BD_Address Get"), &timer, false, 0, true);
    address.initUi(formFields("Device BD_Address Get"));
    address.setFieldValueInGlayout({{"identity_addr", QByteArray::fromHex("665544332211")},
                                    {"identity_addr_type", QByteArray::fromHex("01")}});
    QCOMPARE(qobject_cast<CValidateLineEdit *>(formEditor(address, "BD Address"))->text(),
             QStringLiteral("11:22:33:44:55:66"));
    QCOMPARE(qobject_cast<QComboBox *>(formEditor(address, "BD Address Type"))->currentText(),
             QStringLiteral("static"));

    CCommandUiWidget version(nullptr, m_log, nullptr, QStringLiteral("Device Version Get"), &timer, false, 0, true);
    version.initUi(formFields("Device Version Get"));
    version.setFieldValueInGlayout({{"hci_ver", QByteArray::fromHex("3412")}, {"manuf_name", QByteArray::fromHex("0500")}});
    QCOMPARE(qobject_cast<QLineEdit *>(formEditor(version, "HCI version"))->text(), QStringLiteral("4660"));
    QCOMPARE(qobject_cast<QLineEdit *>(formEditor(version, "Manufacturer name"))->text(), QStringLiteral("5"));

    CCommandUiWidget rssi(nullptr, m_log, nullptr, QStringLiteral("Get Connection RSSI"), &timer, false, 0, true);
    rssi.initUi(formFields("Get Connection RSSI"));
    rssi.setFieldValueInGlayout({{"rssi", QByteArray::fromHex("c4")}});
    QCOMPARE(qobject_cast<QLineEdit *>(formEditor(rssi, "RSSI"))->text(), QStringLiteral("-60"));

    CCommandUiWidget path(nullptr, m_log, nullptr, QStringLiteral("RF Path Compensation Values Get"), &timer, false, 0, true);
    path.initUi(formFields("RF Path Compensation Values Get"));
    path.setFieldValueInGlayout({{"tx_path_comp", QByteArray::fromHex("85ff")}, {"rx_path_comp", QByteArray::fromHex("7b00")}});
    QCOMPARE(qobject_cast<QLineEdit *>(formEditor(path, "RF TX path compensation(dB)"))->text(), QStringLiteral("-12.3"));
    QCOMPARE(qobject_cast<QLineEdit *>(formEditor(path, "RF RX path compensation(dB)"))->text(), QStringLiteral("12.3"));
    QVERIFY(m_lines.filter("Internal error").isEmpty());
}

void TestCommandForms::answerOfWrongSizeStopsUpdate()
{
    QTimer timer;
    CCommandUiWidget address(nullptr, m_log, nullptr, QStringLiteral("Device BD_Address Get"), &timer, false, 0, true);
    address.initUi(formFields("Device BD_Address Get"));
    auto *addr = qobject_cast<CValidateLineEdit *>(formEditor(address, "BD Address"));
    const QString before = addr->text();
    address.setFieldValueInGlayout({{"identity_addr", QByteArray::fromHex("5544332211")},
                                    {"identity_addr_type", QByteArray::fromHex("01")}});
    QCOMPARE(addr->text(), before);
    QCOMPARE(qobject_cast<QComboBox *>(formEditor(address, "BD Address Type"))->currentIndex(), -1);
    const QStringList errors = m_lines.filter(" Internal error.");
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().startsWith("1|FILE:"));
    QVERIFY(errors.first().contains(" LINE:"));
    QVERIFY(errors.first().contains(" FUNCTION:CCommandUiWidget::setFieldValueInGlayout Internal error."));
}

void TestCommandForms::bitTableAnswerSetsIcons()
{
    QTimer timer;
    CCommandUiWidget features(nullptr, m_log, nullptr, QStringLiteral("Get Peer Features"), &timer, false, 3, true);
    features.initUi(formFields("Get Peer Features"));
    auto *model = dynamic_cast<uplinkMsgTableModel *>(formTables(features).at(0)->model());
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    // LE Encryption, LE 2M PHY and the last feature.
    features.setFieldValueInGlayout({{"status", QByteArray(1, 0)}, {"features", QByteArray::fromHex("01010100")}});
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model->rowCount(), 9);
    QVERIFY(model->data(model->index(0, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model->data(model->index(0, 3), Qt::DecorationRole).isValid());
    QVERIFY(model->data(model->index(4, 1), Qt::DecorationRole).isValid());
    QVERIFY(model->data(model->index(8, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model->data(model->index(7, 3), Qt::DecorationRole).isValid());

    CCommandUiWidget phy(nullptr, m_log, nullptr, QStringLiteral("Get Connection PHY"), &timer, false, 3, true);
    phy.initUi(formFields("Get Connection PHY"));
    const QList<QTableView *> tables = formTables(phy);
    phy.setFieldValueInGlayout({{"lephy_data_transmission", QByteArray::fromHex("02")},
                                {"lephy_data_reception", QByteArray::fromHex("04")}});
    auto *tx = dynamic_cast<uplinkMsgHalfTableModel *>(tables.at(0)->model());
    auto *rx = dynamic_cast<uplinkMsgHalfTableModel *>(tables.at(1)->model());
    QVERIFY(tx->data(tx->index(1, 1), Qt::DecorationRole).isValid());
    QVERIFY(!tx->data(tx->index(0, 1), Qt::DecorationRole).isValid());
    QVERIFY(rx->data(rx->index(2, 1), Qt::DecorationRole).isValid());
    QVERIFY(!rx->data(rx->index(1, 1), Qt::DecorationRole).isValid());
}

void TestCommandForms::timeoutEndsRenegotiation()
{
    QTimer timer;
    DiagramWidget diagram;
    CCommandUiWidget first(nullptr, m_log, &diagram, QStringLiteral("PHY Update"), &timer, true, 0, true);
    diagram.setState(0);
    first.on_timeout();
    QCOMPARE(diagram.getState(), 0);
    diagram.setState(1);
    timer.setSingleShot(true);
    timer.start(0);
    QTRY_COMPARE(diagram.getState(), 2);
}

namespace {
const QString kConnParams = QStringLiteral("Update Connection Parameters Request");

void enterConnectionParameters(CCommandUiWidget &form, const QString &intervalMax, const QString &latency,
                               const QString &timeout)
{
    qobject_cast<QLineEdit *>(formEditor(form, "Connection Interval Minimum(ms)"))->setText("7.5");
    qobject_cast<QLineEdit *>(formEditor(form, "Connection Interval Maximum(ms)"))->setText(intervalMax);
    qobject_cast<QLineEdit *>(formEditor(form, "Connection Latency"))->setText(latency);
    qobject_cast<QLineEdit *>(formEditor(form, "Supervision Timeout(ms)"))->setText(timeout);
}
}

void TestCommandForms::connectionParameterRequestOnTheWire()
{
    SimulatedDongle dongle;
    QVERIFY(dongle.isValid());
    CMsg link(m_log);
    QCOMPARE(link.openPort(dongle.portPath()), 0);

    DiagramWidget diagram;
    diagram.setState(0);
    QTimer timer;
    CCommandUiWidget form(&link, m_log, &diagram, kConnParams, &timer, true, 3, true);
    form.initUi(formFields(kConnParams));
    enterConnectionParameters(form, "7.5", "0", "100");

    form.findChild<QPushButton *>("btn_command")->click();
    QVERIFY(dongle.waitForFrames(1, 20000));
    QCOMPARE(FrameBuilder::toHex(dongle.receivedFrames().first().bytes),
             QStringLiteral("AA 01 37 0B 00 06 00 06 00 00 00 0A 00 02 00 03 F8"));
    // One click sends once: the button reaches its slot by one connection only.
    QVERIFY(!dongle.waitForFrames(2, 500));
    QCOMPARE(diagram.getState(), 1);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 5000);
    link.closePort();
}

void TestCommandForms::connectionParameterRuleRefuses_data()
{
    QTest::addColumn<QString>("intervalMax");
    QTest::addColumn<QString>("latency");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString rule = QStringLiteral("Update Connection Parameters Request Error");
    const QString ruleText = QStringLiteral("Supervision Timeout should greater than (1+Latency)*Interval Maximum*2.");
    QTest::newRow("2 x 50 equals 100") << "50" << "0" << "100" << rule << ruleText;
    QTest::newRow("latency makes it too long") << "7.5" << "6" << "100" << rule << ruleText;
    // A typed value the field cannot send is refused before the rule, never rounded or raised.
    QTest::newRow("interval between steps")
        << "9" << "0" << "1000" << "error"
        << "Connection Interval Maximum(ms): \"9\" cannot be sent; enter a number from 7.50 to 4000.00 in steps of "
           "1.25.";
    QTest::newRow("timeout below min")
        << "7.5" << "0" << "50" << "error"
        << "Supervision Timeout(ms): \"50\" cannot be sent; enter a number from 100 to 32000 in steps of 10.";
    QTest::newRow("latency above max") << "7.5" << "500" << "1000" << "error"
                                       << "Connection Latency: \"500\" cannot be sent; enter a whole number from 0 to "
                                          "499.";
}

void TestCommandForms::connectionParameterRuleRefuses()
{
    QFETCH(QString, intervalMax);
    QFETCH(QString, latency);
    QFETCH(QString, timeout);
    QFETCH(QString, title);
    QFETCH(QString, text);

    SimulatedDongle dongle;
    CMsg link(m_log);
    QCOMPARE(link.openPort(dongle.portPath()), 0);
    DiagramWidget diagram;
    diagram.setState(0);
    QTimer timer;
    CCommandUiWidget form(&link, m_log, &diagram, kConnParams, &timer, true, 3, true);
    form.initUi(formFields(kConnParams));
    enterConnectionParameters(form, intervalMax, latency, timeout);

    ModalAnswerer answerer;
    answerer.click("m_pbOk");
    form.findChild<QPushButton *>("btn_command")->click();
    QVERIFY2(answerer.allAnswered(), qPrintable(answerer.failures().join(", ")));
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, title);
    QCOMPARE(answerer.seen().first().text, text);
    QCOMPARE(m_lines.contains("4|Update Connection Parameters Request Error"), title != QLatin1String("error"));

    QVERIFY(!dongle.waitForFrames(1, 400));
    QCOMPARE(diagram.getState(), 0);
    QVERIFY(!timer.isActive());
    link.closePort();
}

void TestCommandForms::failedSendDoesNotAnimate()
{
    CMsg closedLink(m_log);
    DiagramWidget diagram;
    diagram.setState(0);
    QTimer timer;
    CCommandUiWidget form(&closedLink, m_log, &diagram, kConnParams, &timer, true, 3, true);
    form.initUi(formFields(kConnParams));
    enterConnectionParameters(form, "7.5", "0", "100");
    form.findChild<QPushButton *>("btn_command")->click();
    QVERIFY(m_lines.contains("4|send update connection parameters request message failed"));
    QCOMPARE(diagram.getState(), 0);
    QVERIFY(!timer.isActive());
}

void TestCommandForms::readOnlyFormSendsConnectionIndexAndShowsAnswer()
{
    SimulatedDongle dongle;
    installFormsBehaviour(dongle);
    CMsg link(m_log);
    QCOMPARE(link.openPort(dongle.portPath()), 0);
    // The reader passes frames on only after the dongle's reset event.
    QSignalSpy resetSeen(&link, &CMsg::sig_rcvCommonMsg);
    dongle.sendResetEvent();
    QVERIFY(resetSeen.wait(20000));

    QTimer timer;
    const QString name = QStringLiteral("Get Peer Features");
    CCommandUiWidget form(&link, m_log, nullptr, name, &timer, false, 3, true);
    form.initUi(formFields(name));
    auto *model = dynamic_cast<uplinkMsgTableModel *>(formTables(form).at(0)->model());
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    // The page routes the result to the form whose name it carries.
    connect(&link, &CMsg::sig_rcvGapMsg, &form, [&](const QByteArray &frame) {
        if (CCommand::getUpLinkId(frame) != QLatin1String("DD@01@50"))
            return;
        QMap<QString, QByteArray> fields;
        if (CCommand::parseUpLinkCmd(m_log, frame, fields) == 0)
            form.setFieldValueInGlayout(fields);
    });

    form.findChild<QPushButton *>("btn_command")->click();
    QVERIFY(dongle.waitForFrames(1, 20000));
    QCOMPARE(FrameBuilder::toHex(dongle.receivedFrames().first().bytes),
             FrameBuilder::toHex(FrameBuilder::downlink(0x01, 0x4F, QByteArray(1, 3))));
    QTRY_VERIFY2_WITH_TIMEOUT(model->data(model->index(0, 1), Qt::DecorationRole).isValid(),
                              qPrintable(m_lines.join("\n")), 20000);
    QVERIFY(model->data(model->index(4, 1), Qt::DecorationRole).isValid());
    QVERIFY(model->data(model->index(8, 1), Qt::DecorationRole).isValid());
    QVERIFY(!model->data(model->index(0, 3), Qt::DecorationRole).isValid());
    link.closePort();
}

void TestCommandForms::listFormsAsTheyOpenOnTheWire_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("wire");
    QTest::newRow("read multiple") << "Read Multiple Characteristic Values"
                                   << "AA 03 14 07 00 03 01 00 01 00 01 00";
    // The "0" of the shipped first row goes out as one byte 00.
    QTest::newRow("reliable writes") << "Reliable Characteristic Value Writes"
                                     << "AA 03 1E 08 00 03 01 00 00 00 01 00 00";
}

void TestCommandForms::listFormsAsTheyOpenOnTheWire()
{
    QFETCH(QString, command);
    QFETCH(QString, wire);
    SimulatedDongle dongle;
    CMsg link(m_log);
    QCOMPARE(link.openPort(dongle.portPath()), 0);

    CmsgField form(m_log, command);
    form.buildForm(false);
    QMap<QString, QVariant> values = form.getFieldValues(false);
    values.insert(QStringLiteral("condix"), 3);
    QVERIFY2(CCommand::sendMsg(&link, m_log, command, values, {}), qPrintable(m_lines.join("\n")));
    QVERIFY(dongle.waitForFrames(1, 20000));
    const QByteArray sent = dongle.receivedFrames().first().bytes;
    QCOMPARE(FrameBuilder::toHex(FrameBuilder::withoutChecksum(sent)), wire);
    link.closePort();
}

QTEST_MAIN(TestCommandForms)
#include "tst_commandforms.moc"
