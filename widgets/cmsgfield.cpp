#include "cmsgfield.h"
#include "plaintext.h"

#include "ccfgfileparse.h"
#include "cstandardmsgdlg.h"
#include "cstyledcombobox.h"
#include "cutil.h"
#include "cvalidatelineedit.h"
#include "cvalidatetextedit.h"
#include "inputrefusal.h"
#include "logger.h"
#include "logmanager.h"
#include "tflatscrollarea.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayoutItem>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const char kListType[] = "list";
const char kValueLengthTitle[] = "Value Length";
const char kValueTitle[] = "Value";
const char kAttributeHandleTitle[] = "Attribute Handle";
const char kOffsetTitle[] = "Offset";
const char kReadMultipleName[] = "Read Multiple Characteristic Values";
const int kLongFieldLimit = 50;

QString hexDigits(QString text)
{
    text.remove(QStringLiteral("0x"));
    text.remove(QLatin1Char(':'));
    // An odd digit count has no byte split; a leading zero keeps the value, as the hex editors do.
    if (text.size() % 2 != 0)
        text.prepend(QLatin1Char('0'));
    return text;
}

QString byteReversed(const QString &hex)
{
    return CUtil::hexPairText(hex, CUtil::Reversed);
}

// Four hexadecimal digits of a 16-bit number with its two bytes swapped.
QString swappedWord(quint32 value)
{
    const QString word = QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0'));
    return word.mid(2, 2) + word.left(2);
}

void deleteLayoutItem(QLayoutItem *item)
{
    if (QWidget *widget = item->widget()) {
        delete widget;
    } else if (QLayout *layout = item->layout()) {
        while (QLayoutItem *child = layout->takeAt(0))
            deleteLayoutItem(child);
    }
    delete item;
}

QList<QCheckBox *> checkBoxesOf(QLayout *layout)
{
    QList<QCheckBox *> boxes;
    for (int i = 0; i < layout->count(); ++i) {
        if (auto *box = qobject_cast<QCheckBox *>(layout->itemAt(i)->widget()))
            boxes.append(box);
    }
    return boxes;
}

QString comboValueText(const UiFieldInfo &field, const QString &description, bool *found)
{
    // valueDescMap is ordered by value, so the last match is the highest value.
    quint64 value = 0;
    *found = false;
    for (auto it = field.valueDescMap.cbegin(); it != field.valueDescMap.cend(); ++it) {
        if (it.value() == description) {
            value = it.key();
            *found = true;
        }
    }
    // The command sender reads text as hexadecimal.
    return QString::number(value, 16);
}
}

CmsgField::CmsgField(LogManager *log, const QString &cmdName, QGridLayout *grid, QWidget *parent)
    : QWidget(parent)
    , m_gridLayout(grid)
    , m_cmdName(cmdName)
    , m_subFieldTable(nullptr)
    , m_ownsLayout(false)
    , m_log(log)
{
    if (!m_gridLayout) {
        m_gridLayout = new QGridLayout(this);
        m_ownsLayout = true;
    }
}

CmsgField::~CmsgField() = default;

bool CmsgField::findFields(const QString &cmdName, bool subFieldMode, QVector<UiFieldInfo> *fields) const
{
    UiComponentFields component;
    if (CUtil::findNameToUiElement(CCfgFileParse::instance()->m_downlinkNameToUiVec, cmdName, &component) != 0) {
        if (m_log)
            m_log->log(QStringLiteral("find element from m_downlinkNameToUiVec failed."), LogLevel::Debug);
        return false;
    }
    *fields = component.fields;
    if (subFieldMode) {
        for (const UiFieldInfo &field : qAsConst(component.fields)) {
            if (field.type == QLatin1String(kListType)) {
                *fields = field.subFieldVec;
                break;
            }
        }
    }
    return true;
}

void CmsgField::clearGrid()
{
    while (QLayoutItem *item = m_gridLayout->takeAt(0))
        deleteLayoutItem(item);
    m_subFieldTable = nullptr;
}

void CmsgField::buildForm(bool subFieldMode)
{
    QVector<UiFieldInfo> fields;
    if (!findFields(m_cmdName, subFieldMode, &fields))
        return;

    clearGrid();
    QWidget *host = m_gridLayout->parentWidget() ? m_gridLayout->parentWidget() : this;

    for (int i = 0; i < fields.size(); ++i) {
        const UiFieldInfo &field = fields.at(i);
        if (field.type == QLatin1String("lineEdit")) {
            m_gridLayout->addWidget(PlainText::label(field.title, host), i, 0);
            if (field.maxLength.toInt() > kLongFieldLimit) {
                m_gridLayout->addWidget(new CValidateTextEdit(host), i, 1);
                continue;
            }
            auto *edit = new CValidateLineEdit(host);
            if (field.subType == QLatin1String("int"))
                edit->setIntType(field.min, field.max, field.length, field.defaultValue);
            else if (field.subType == QLatin1String("hex"))
                edit->setHexType(field.maxLength, field.min, field.max, field.defaultValue,
                                 QStringLiteral("0x[0-9a-fA-F]*"));
            else if (field.subType == QLatin1String("addr"))
                edit->setAddrType(field.maxLength, QString(), QStringLiteral("[0-9a-fA-F:]*"));
            else if (field.subType == QLatin1String("string"))
                edit->setStringType(field.defaultValue, field.maxLength);
            m_gridLayout->addWidget(edit, i, 1);
        } else if (field.type == QLatin1String("enum")) {
            m_gridLayout->addWidget(PlainText::label(field.title, host), i, 0);
            auto *combo = new CStyledComboBox(host);
            for (const UiElemInfo &elem : field.elemList)
                combo->addItem(elem.valueDesc);
            const QString wanted = field.valueDescMap.value(field.defaultValue.toULongLong());
            const int index = combo->findText(wanted);
            if (!wanted.isEmpty() && index >= 0)
                combo->setCurrentIndex(index);
            m_gridLayout->addWidget(combo, i, 1);
        } else if (field.type == QLatin1String("enum_mask")) {
            m_gridLayout->addWidget(PlainText::label(field.title, host), i, 0);
            auto *column = new QVBoxLayout;
            for (const UiElemInfo &elem : field.elemList)
                column->addWidget(new QCheckBox(elem.valueDesc, host));
            m_gridLayout->addLayout(column, i, 1);
        } else if (field.type == QLatin1String(kListType)) {
            addListField(field);
        }
    }
}

void CmsgField::addListField(const UiFieldInfo &field)
{
    emit sig_containsSubField();
    for (const UiFieldInfo &sub : field.subFieldVec)
        m_subFieldTitleMap.insert(sub.title, sub.key);

    QWidget *host = m_gridLayout->parentWidget() ? m_gridLayout->parentWidget() : this;
    auto *table = new TFlatScrollArea<QTableWidget>(host);
    m_subFieldTable = table;
    connect(table, &QTableWidget::cellDoubleClicked, this, &CmsgField::on_subFieldWidgetCellDoubleClicked);

    table->setMinimumHeight(110);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setDefaultSectionSize(20);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->setShowGrid(false);

    QStringList titles;
    for (const UiFieldInfo &sub : field.subFieldVec)
        titles << sub.title;
    table->setColumnCount(titles.size());
    table->setHorizontalHeaderLabels(titles);
    table->setRowCount(1);
    for (int c = 0; c < field.subFieldVec.size(); ++c)
        table->setItem(0, c, new QTableWidgetItem(field.subFieldVec.at(c).defaultValue));

    m_gridLayout->addWidget(table, 0, 0);
}

bool CmsgField::acceptTypedValues()
{
    for (int r = 0; QLayoutItem *first = m_gridLayout->itemAtPosition(r, 0); ++r) {
        auto *label = qobject_cast<QLabel *>(first->widget());
        QLayoutItem *editorItem = m_gridLayout->itemAtPosition(r, 1);
        if (!label || !editorItem)
            continue;
        if (!InputRefusal::acceptTyped(editorItem->widget(), label->text()))
            return false;
    }
    return true;
}

QMap<QString, QVariant> CmsgField::getFieldValues(bool subFieldMode)
{
    QMap<QString, QVariant> values;
    QVector<UiFieldInfo> fields;
    if (!findFields(m_cmdName, subFieldMode, &fields))
        return values;

    for (int r = 0; QLayoutItem *first = m_gridLayout->itemAtPosition(r, 0); ++r) {
        if (auto *label = qobject_cast<QLabel *>(first->widget())) {
            QLayoutItem *editorItem = m_gridLayout->itemAtPosition(r, 1);
            if (!editorItem)
                continue;
            QWidget *editor = editorItem->widget();
            for (const UiFieldInfo &field : qAsConst(fields)) {
                if (field.title != label->text())
                    continue;
                if (auto *line = qobject_cast<CValidateLineEdit *>(editor)) {
                    values.insert(field.key, line->getValue());
                } else if (auto *text = qobject_cast<CValidateTextEdit *>(editor)) {
                    values.insert(field.key, subFieldMode ? text->toPlainText() : text->getByteArray());
                } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
                    bool found = false;
                    const QString value = comboValueText(field, combo->currentText(), &found);
                    if (found)
                        values.insert(field.key, value);
                } else if (QLayout *column = editorItem->layout()) {
                    uint mask = 0;
                    const QList<QCheckBox *> boxes = checkBoxesOf(column);
                    for (int n = 0; n < boxes.size(); ++n) {
                        if (boxes.at(n)->isChecked())
                            mask |= 1u << n;
                    }
                    values.insert(field.key, mask);
                }
            }
        } else if (auto *table = dynamic_cast<QTableWidget *>(first->widget())) {
            for (const UiFieldInfo &field : qAsConst(fields)) {
                if (field.type == QLatin1String(kListType))
                    values.insert(field.key, getSubFieldListValue(table));
            }
            if (m_cmdName == QLatin1String(kReadMultipleName))
                values.insert(QStringLiteral("handle_count"), table->rowCount());
        }
    }
    return values;
}

QString CmsgField::getSubFieldListValue(QTableWidget *table) const
{
    QString result;
    if (!table)
        return result;
    for (int row = 0; row < table->rowCount(); ++row) {
        QString rowText;
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem *header = table->horizontalHeaderItem(column);
            const QString title = header ? header->text() : QString();
            const QTableWidgetItem *cell = table->item(row, column);
            const QString text = cell ? cell->text() : QString();
            if (title == QLatin1String(kValueLengthTitle)) {
                rowText += swappedWord(text.toUInt());
            } else if (title == QLatin1String(kValueTitle)) {
                const QString digits = hexDigits(text);
                rowText += swappedWord(quint32(digits.size() / 2)) + digits;
            } else {
                rowText += byteReversed(hexDigits(text));
            }
        }
        result.prepend(byteReversed(rowText));
    }
    return result;
}

void CmsgField::setFieldValues(const QMap<QString, QVariant> &values, bool subFieldMode)
{
    QVector<UiFieldInfo> fields;
    if (!findFields(m_cmdName, subFieldMode, &fields))
        return;

    for (int r = 0; QLayoutItem *first = m_gridLayout->itemAtPosition(r, 0); ++r) {
        auto *label = qobject_cast<QLabel *>(first->widget());
        QLayoutItem *editorItem = m_gridLayout->itemAtPosition(r, 1);
        if (!label || !editorItem)
            continue;
        QWidget *editor = editorItem->widget();
        for (const UiFieldInfo &field : qAsConst(fields)) {
            if (field.title != label->text() || !values.contains(field.key))
                continue;
            const QString text = values.value(field.key).toString();
            if (auto *line = qobject_cast<CValidateLineEdit *>(editor)) {
                line->setText(text);
            } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
                const int index = combo->findText(text);
                if (index >= 0)
                    combo->setCurrentIndex(index);
            } else if (auto *edit = qobject_cast<CValidateTextEdit *>(editor)) {
                edit->setPlainText(text);
            }
        }
    }
}

void CmsgField::checkSubField(const QString &cmdName)
{
    QVector<UiFieldInfo> fields;
    if (!findFields(cmdName, false, &fields))
        return;
    for (const UiFieldInfo &field : qAsConst(fields)) {
        if (field.type == QLatin1String(kListType))
            emit sig_containsSubField();
    }
}

void CmsgField::removeCurrentSubFieldRow()
{
    if (!m_subFieldTable)
        return;
    const int row = m_subFieldTable->currentRow();
    if (row >= 0)
        m_subFieldTable->removeRow(row);
}

void CmsgField::on_btnAddSubFieldClicked()
{
    if (!m_subFieldTable)
        return;
    m_subFieldTable->setCurrentCell(-1, -1);
}

void CmsgField::on_addElemToTableWidget()
{
    if (!m_subFieldTable)
        return;
    auto *dialog = qobject_cast<CStandardMsgDlg *>(sender());
    if (!dialog)
        return;
    const QMap<QString, QVariant> values = dialog->getSubFieldValues();

    int row = m_subFieldTable->currentRow();
    if (row < 0) {
        row = m_subFieldTable->rowCount();
        m_subFieldTable->insertRow(row);
    }
    for (int column = 0; column < m_subFieldTable->columnCount(); ++column) {
        const QTableWidgetItem *header = m_subFieldTable->horizontalHeaderItem(column);
        const QString title = header ? header->text() : QString();
        const QString key = m_subFieldTitleMap.value(title);
        QString text = values.value(key).toString();
        if (title == QLatin1String(kAttributeHandleTitle) || title == QLatin1String(kOffsetTitle))
            text.prepend(QStringLiteral("0x"));
        else if (title == QLatin1String(kValueLengthTitle))
            text = QString::number(text.toULongLong(nullptr, 16));
        m_subFieldTable->setItem(row, column, new QTableWidgetItem(text));
    }
    // The target row stays current in every table, also in two-column ones.
    m_subFieldTable->setCurrentCell(row, qMin(2, m_subFieldTable->columnCount() - 1));
}

void CmsgField::on_subFieldWidgetCellDoubleClicked(int row, int column)
{
    Q_UNUSED(column)
    if (!m_subFieldTable || row < 0)
        return;
    QMap<QString, QVariant> values;
    for (int c = 0; c < m_subFieldTable->columnCount(); ++c) {
        const QTableWidgetItem *header = m_subFieldTable->horizontalHeaderItem(c);
        const QString key = m_subFieldTitleMap.value(header ? header->text() : QString());
        const QTableWidgetItem *cell = m_subFieldTable->item(row, c);
        values.insert(key, cell ? cell->text() : QString());
    }
    // Accepting writes over the current row, so make sure the clicked row is it.
    if (m_subFieldTable->currentRow() != row)
        m_subFieldTable->setCurrentCell(row, column < 0 ? 0 : column);

    auto *dialog = new CStandardMsgDlg(m_log, QStringLiteral("Edit Attribute"), m_cmdName, this);
    connect(dialog, &CStandardMsgDlg::sig_standardOKClicked, this, &CmsgField::on_addElemToTableWidget);
    dialog->buildSubFieldForm();
    dialog->setFieldValues(values);
    dialog->exec();
}
