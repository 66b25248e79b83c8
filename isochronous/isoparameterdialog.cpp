#include "isoparameterdialog.h"

#include "ui_isoparameterdialog.h"

#include "ccfgfileparse.h"
#include "cstyledcombobox.h"
#include "cutil.h"
#include "cvalidatelineedit.h"
#include "logger.h"
#include "logmanager.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>

#include <algorithm>

namespace {

const char *const EditStyle = "CValidateLineEdit{border: 1px solid #e4e4e4;background-color: #fff;min-height: 20px;}"
                              "CValidateLineEdit:hover{border-color: #189ede;}";

bool isByteString(const UiFieldInfo &field)
{
    return field.type == QLatin1String("lineEdit") && field.subType == QLatin1String("littleEnd");
}

} // namespace

IsoParameterDialog::IsoParameterDialog(const QString &title, const QString &componentName, LogManager *logger,
                                       QWidget *parent)
    : CFlatDialog(title, parent, 0, 0, false), ui(new Ui::IsoParameterDialog), m_logger(logger),
      m_componentName(componentName)
{
    ui->setupUi(m_content);
    buildForm();
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &IsoParameterDialog::on_pushButton_ok_clicked);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

IsoParameterDialog::~IsoParameterDialog()
{
    delete ui;
}

QGridLayout *IsoParameterDialog::grid() const
{
    return ui->gridLayout;
}

bool IsoParameterDialog::findComponent(UiComponentFields *component) const
{
    if (CUtil::findNameToUiElement(CCfgFileParse::instance()->m_downlinkNameToUiVec, m_componentName, component)
        == 0)
        return true;
    if (m_logger)
        m_logger->log(QStringLiteral("find element from m_downlinkNameToUiVec failed."), LogLevel::Debug);
    return false;
}

void IsoParameterDialog::buildForm()
{
    UiComponentFields component;
    if (!findComponent(&component))
        return;
    QVector<UiFieldInfo> byteStrings;
    int i = 0;
    for (const UiFieldInfo &field : qAsConst(component.fields)) {
        if (isByteString(field)) {
            byteStrings << field;
            continue;
        }
        const int row = i / 2;
        const int column = 2 * (i % 2);
        if (field.type == QLatin1String("lineEdit")) {
            auto *edit = new CValidateLineEdit(m_content);
            edit->setStyleSheet(QLatin1String(EditStyle));
            if (field.subType == QLatin1String("int"))
                edit->setIntType(field.min, field.max, field.length, field.defaultValue);
            ui->gridLayout->addWidget(new QLabel(field.title, m_content), row, column);
            ui->gridLayout->addWidget(edit, row, column + 1);
            m_editors.append({field, edit});
        } else if (field.type == QLatin1String("enum")) {
            auto *combo = new CStyledComboBox(m_content);
            QStringList texts = field.descValueMap.keys();
            std::sort(texts.begin(), texts.end());
            combo->addItems(texts);
            combo->setCurrentText(field.valueDescMap.value(field.defaultValue.toULongLong()));
            ui->gridLayout->addWidget(new QLabel(field.title, m_content), row, column);
            ui->gridLayout->addWidget(combo, row, column + 1);
            m_editors.append({field, combo});
        } else {
            continue;
        }
        ++i;
    }
    const int firstRow = ui->gridLayout->count() == 0 ? 0 : ui->gridLayout->rowCount();
    for (int j = 0; j < byteStrings.size(); ++j) {
        const UiFieldInfo &field = byteStrings.at(j);
        auto *edit = new CValidateLineEdit(m_content);
        edit->setStyleSheet(QLatin1String(EditStyle));
        edit->setLittleEndType(field.length, field.defaultValue, QStringLiteral("[0-9a-fA-F:]*"));
        ui->gridLayout->addWidget(new QLabel(field.title, m_content), firstRow + j, 0);
        ui->gridLayout->addWidget(edit, firstRow + j, 1, 1, 3);
        m_editors.append({field, edit});
    }
}

void IsoParameterDialog::forEachEditor(
    const std::function<void(const UiFieldInfo &field, QWidget *editor)> &visit) const
{
    for (const FieldEditor &entry : m_editors)
        visit(entry.field, entry.editor);
}

QMap<QString, QString> IsoParameterDialog::getFieldValues() const
{
    QMap<QString, QString> values;
    forEachEditor([&values](const UiFieldInfo &field, QWidget *editor) {
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            values.insert(field.key, QString::number(field.descValueMap.value(combo->currentText(), 0)));
        } else if (auto *edit = qobject_cast<CValidateLineEdit *>(editor)) {
            const QString value = edit->getValue();
            if (edit->getSubType() == QLatin1String("littleEnd")) {
                // The edit gives the pairs last to first; the record keeps them as shown.
                values.insert(field.key, CUtil::hexPairText(value, CUtil::Reversed));
            } else {
                values.insert(field.key, QString::number(value.toULongLong(nullptr, 16)));
            }
        }
    });
    return values;
}

void IsoParameterDialog::setFieldValues(const QMap<QString, QString> &values, const QString &id)
{
    m_editId = id;
    forEachEditor([&values](const UiFieldInfo &field, QWidget *editor) {
        const QString value = values.value(field.key);
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            bool ok = false;
            const quint64 number = value.toULongLong(&ok, 10);
            if (ok && field.valueDescMap.contains(number))
                combo->setCurrentText(field.valueDescMap.value(number));
        } else if (auto *edit = qobject_cast<CValidateLineEdit *>(editor)) {
            edit->setText(edit->getSubType() == QLatin1String("littleEnd")
                              ? CUtil::hexPairText(value, CUtil::AsSent, ':')
                              : value);
        }
    });
}

QString IsoParameterDialog::takeId()
{
    if (m_editMode)
        return m_editId;
    // Skip IDs the page already holds rather than wrapping onto them.
    for (int tries = 0; tries < 256; ++tries) {
        const QString candidate = QString::number(m_nextId++);
        if (!m_idInUse || !m_idInUse(candidate))
            return candidate;
    }
    return QString::number(m_nextId++);
}

void IsoParameterDialog::on_pushButton_ok_clicked()
{
    for (const FieldEditor &entry : qAsConst(m_editors)) {
        auto *edit = qobject_cast<CValidateLineEdit *>(entry.editor);
        if (edit && !edit->acceptTyped(entry.field.title))
            return;
    }
    const QMap<QString, QString> values = getFieldValues();
    emitRecord(values, takeId());
    accept();
}
