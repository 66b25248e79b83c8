#include "ccommanduiwidget.h"
#include "plaintext.h"
#include "ui_ccommanduiwidget.h"

#include "ccfgfileparse.h"
#include "ccommand.h"
#include "cflatmessage.h"
#include "cstyledcombobox.h"
#include "cutil.h"
#include "cvalidatelineedit.h"
#include "cvalidatetextedit.h"
#include "diagramwidget.h"
#include "inputrefusal.h"
#include "logger.h"
#include "logmanager.h"
#include "tflatscrollarea.h"
#include "uplinkmsghalftablemodel.h"
#include "uplinkmsgtablemodel.h"
#include "widgetresources.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QTableView>
#include <QTimer>

namespace {
const char kUpdateConnParamsName[] = "Update Connection Parameters Request";
const char kLineEditType[] = "lineEdit";
const char kEnumType[] = "enum";
const char kEnumMaskType[] = "enum_mask";
const char kFullTableType[] = "enum_mask_read";
const char kHalfTableType[] = "enum_mask_read_half";
const char kCollapseIcon[] = ":/icons/GapCollapse.png";
const char kExpandIcon[] = ":/icons/GapExpand.png";
const int kLongFieldLimit = 50;
const int kRenegotiationTimeoutMs = 5000;

QVector<QPair<QString, bool>> maskItems(const UiFieldInfo &field, quint64 mask)
{
    QVector<QPair<QString, bool>> items;
    for (const UiElemInfo &elem : field.elemList)
        items.append({elem.valueDesc, (mask & elem.value) != 0});
    return items;
}

}

CCommandUiWidget::CCommandUiWidget(CMsg *msg, LogManager *log, DiagramWidget *diagram, QString cmdName,
                                   QTimer *timer, bool editable, quint8 condix, bool expanded,
                                   QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CCommandUiWidget)
    , m_expanded(expanded)
    , m_editable(editable)
    , m_cmdName(std::move(cmdName))
    , m_condix(condix)
    , m_timer(timer)
    , m_diagram(diagram)
    , m_msg(msg)
    , m_log(log)
{
    initWidgetResources();
    ui->setupUi(this);
    PlainText::show(ui->commandLabel, m_cmdName);
    ui->btn_command->setText(m_editable ? QStringLiteral("Update") : QStringLiteral("Get"));
    ui->toolButton->setText(QString());
    if (m_timer)
        connect(m_timer, &QTimer::timeout, this, &CCommandUiWidget::on_timeout);
    connect(ui->widgetSig, &SigWidget::SigWidgetPressed, this, &CCommandUiWidget::onWidgetPressed);

    ui->frame->setVisible(m_expanded);
    ui->toolButton->setIcon(QIcon(m_expanded ? kCollapseIcon : kExpandIcon));
}

CCommandUiWidget::~CCommandUiWidget()
{
    delete ui;
}

QString CCommandUiWidget::getCmdName() const
{
    return m_cmdName;
}

void CCommandUiWidget::splitFields(const QVector<UiFieldInfo> &fields, QVector<UiFieldInfo> *editors,
                                   QVector<UiFieldInfo> *halfTables, QVector<UiFieldInfo> *fullTables) const
{
    for (const UiFieldInfo &field : fields) {
        if (field.type == QLatin1String(kLineEditType) || field.type == QLatin1String(kEnumType)
            || field.type == QLatin1String(kEnumMaskType))
            editors->append(field);
        else if (field.type == QLatin1String(kHalfTableType))
            halfTables->append(field);
        else if (field.type == QLatin1String(kFullTableType))
            fullTables->append(field);
    }
}

void CCommandUiWidget::initUi(QVector<UiFieldInfo> fields)
{
    QVector<UiFieldInfo> editors;
    QVector<UiFieldInfo> halfTables;
    QVector<UiFieldInfo> fullTables;
    splitFields(fields, &editors, &halfTables, &fullTables);

    for (int i = 0; i < editors.size(); i += 2) {
        auto *row = new QHBoxLayout;
        createFieldWidget(editors.at(i), row);
        if (i + 1 < editors.size()) {
            createFieldWidget(editors.at(i + 1), row);
        } else {
            // Two empty halves keep a lone field at the width of half a row.
            row->addWidget(new QWidget(this), 1);
            row->addWidget(new QWidget(this), 1);
        }
        ui->VLayout->addLayout(row);
    }

    for (int i = 0; i < halfTables.size(); i += 2) {
        auto *row = new QHBoxLayout;
        createFieldWidget(halfTables.at(i), row);
        if (i + 1 < halfTables.size())
            createFieldWidget(halfTables.at(i + 1), row);
        else
            row->addWidget(new QWidget(this), 1);
        ui->VLayout->addLayout(row);
    }

    for (const UiFieldInfo &field : qAsConst(fullTables)) {
        auto *row = new QHBoxLayout;
        createFieldWidget(field, row);
        ui->VLayout->addLayout(row);
    }
}

void CCommandUiWidget::createFieldWidget(const UiFieldInfo &field, QBoxLayout *row)
{
    if (field.type == QLatin1String(kLineEditType)) {
        row->addWidget(PlainText::label(field.title, this), 1);
        if (field.maxLength.toInt() > kLongFieldLimit) {
            auto *text = new CValidateTextEdit(this);
            text->setEnabled(m_editable);
            text->setContentsMargins(0, 0, 60, 0);
            row->addWidget(text, 1);
            return;
        }
        auto *edit = new CValidateLineEdit(this);
        edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        edit->setEnabled(m_editable);
        edit->setStyleSheet(QStringLiteral("CValidateLineEdit{border: 1px solid #e4e4e4;background-color: #fff;"
                                           "min-height: 20px;}CValidateLineEdit:hover{border-color: #189ede;}"));
        edit->setContentsMargins(0, 0, 30, 0);
        const QString &subType = field.subType;
        if (subType == QLatin1String("int"))
            edit->setIntType(field.min, field.max, field.length, field.defaultValue);
        else if (subType == QLatin1String("int8"))
            edit->setInt8Type(field.min, field.max, field.length, field.defaultValue);
        else if (subType == QLatin1String("hex"))
            edit->setHexType(field.maxLength, field.min, field.max, field.defaultValue,
                             QStringLiteral("0x[0-9a-fA-F]*"));
        else if (subType == QLatin1String("addr"))
            edit->setAddrType(field.maxLength, field.defaultValue, QStringLiteral("[0-9a-fA-F:]*"));
        else if (subType == QLatin1String("double"))
            edit->setDoubleType(field.min, field.max, field.singleStep, field.precision, field.maxLength,
                                field.defaultValue);
        else if (subType == QLatin1String("int16double"))
            edit->setInt16DoubleType(field.min, field.max, field.singleStep, field.precision, field.length,
                                     field.defaultValue);
        row->addWidget(edit, 1);
    } else if (field.type == QLatin1String(kEnumType)) {
        row->addWidget(PlainText::label(field.title, this), 1);
        auto *combo = new CStyledComboBox(this);
        combo->setEnabled(m_editable);
        if (!m_editable)
            combo->setStyleSheet(QStringLiteral(
                "CStyledComboBox{background-color:white;border: 1px solid #e4e4e4;min-height: 20px;}"));
        for (const UiElemInfo &elem : field.elemList)
            combo->addItem(elem.valueDesc);
        // The default of an editable form is a position; a read-only box shows nothing until answered.
        combo->setCurrentIndex(m_editable ? field.defaultValue.toInt() : 255);
        row->addWidget(combo, 1);
    } else if (field.type == QLatin1String(kEnumMaskType)) {
        row->addWidget(PlainText::label(field.title, this), 1);
        auto *boxes = new QHBoxLayout;
        const quint64 defaults = field.defaultValue.toULongLong();
        for (const UiElemInfo &elem : field.elemList) {
            auto *box = new QCheckBox(elem.valueDesc, this);
            box->setCheckable(true);
            box->setChecked((defaults & elem.value) != 0);
            box->setCheckable(m_editable);
            boxes->addWidget(box);
        }
        row->addLayout(boxes, 1);
    } else if (field.type == QLatin1String(kFullTableType) || field.type == QLatin1String(kHalfTableType)) {
        const bool full = field.type == QLatin1String(kFullTableType);
        auto *view = new TFlatScrollArea<QTableView>(this);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        const QVector<QPair<QString, bool>> items = maskItems(field, 0);
        if (full) {
            auto *model = new uplinkMsgTableModel(field.title, this);
            model->setItems(items);
            view->setModel(model);
            for (int c = 0; c < 4; ++c)
                view->setColumnWidth(c, (c % 2 == 0) ? 250 : 150);
        } else {
            auto *model = new uplinkMsgHalfTableModel(field.title, this);
            model->setItems(items);
            view->setModel(model);
            view->setColumnWidth(0, 250);
            view->setColumnWidth(1, 150);
        }
        view->setFixedHeight(150);
        view->horizontalHeader()->setStretchLastSection(true);
        view->setShowGrid(false);
        view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        view->setStyleSheet(QStringLiteral("QTableView{border: 0px solid white}"));
        if (full) {
            for (int r = 0; r <= items.size() / 2; ++r)
                view->setRowHeight(r, 25);
        } else {
            for (int r = 0; r < items.size(); ++r)
                view->setRowHeight(r, 30);
        }
        row->addWidget(view, 1);
    }
}

bool CCommandUiWidget::findComponent(UiComponentFields *component) const
{
    if (CUtil::findNameToUiElement(CCfgFileParse::instance()->m_downlinkNameToUiVec, m_cmdName, component) != 0) {
        if (m_log)
            m_log->log(QStringLiteral("find element from m_downlinkNameToUiVec failed."), LogLevel::Debug);
        return false;
    }
    return true;
}

QMap<QString, QVariant> CCommandUiWidget::collectFieldValues()
{
    QMap<QString, QVariant> values;
    UiComponentFields component;
    if (!findComponent(&component))
        return values;

    for (int r = 0; r < ui->VLayout->count(); ++r) {
        QLayout *row = ui->VLayout->itemAt(r)->layout();
        if (!row || row->count() == 0)
            continue;
        if (qobject_cast<QTableView *>(row->itemAt(0)->widget()))
            continue;
        for (int i = 0; i + 1 < row->count(); i += 2) {
            auto *label = qobject_cast<QLabel *>(row->itemAt(i)->widget());
            if (!label)
                continue;
            QLayoutItem *editorItem = row->itemAt(i + 1);
            QWidget *editor = editorItem->widget();
            for (const UiFieldInfo &field : qAsConst(component.fields)) {
                if (field.title != label->text())
                    continue;
                if (QLayout *boxes = editorItem->layout()) {
                    uint mask = 0;
                    for (int n = 0; n < boxes->count(); ++n) {
                        auto *box = qobject_cast<QCheckBox *>(boxes->itemAt(n)->widget());
                        if (box && box->isChecked())
                            mask |= 1u << n;
                    }
                    values.insert(field.key, mask);
                } else if (auto *line = qobject_cast<CValidateLineEdit *>(editor)) {
                    values.insert(field.key, line->getValue());
                } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
                    // valueDescMap is ordered by value, so the last match is the highest value.
                    bool found = false;
                    quint64 value = 0;
                    for (auto it = field.valueDescMap.cbegin(); it != field.valueDescMap.cend(); ++it) {
                        if (it.value() == combo->currentText()) {
                            value = it.key();
                            found = true;
                        }
                    }
                    // The command sender reads text as hexadecimal.
                    if (found)
                        values.insert(field.key, QString::number(value, 16));
                } else if (auto *text = qobject_cast<CValidateTextEdit *>(editor)) {
                    values.insert(field.key, text->getByteArray());
                }
            }
        }
    }
    return values;
}

bool CCommandUiWidget::acceptTypedValues()
{
    for (int r = 0; r < ui->VLayout->count(); ++r) {
        QLayout *row = ui->VLayout->itemAt(r)->layout();
        for (int i = 0; row && i + 1 < row->count(); ++i) {
            auto *label = qobject_cast<QLabel *>(row->itemAt(i)->widget());
            if (label && !InputRefusal::acceptTyped(row->itemAt(i + 1)->widget(), label->text()))
                return false;
        }
    }
    return true;
}

bool CCommandUiWidget::checkConnectionParameters(const QMap<QString, QVariant> &values)
{
    const quint64 supTimeout = values.value(QStringLiteral("sup_timeout")).toString().toULongLong(nullptr, 16);
    const quint64 latency = values.value(QStringLiteral("slave_latency")).toString().toULongLong(nullptr, 16);
    const quint64 intervalMax = values.value(QStringLiteral("interval_max")).toString().toULongLong(nullptr, 16);
    const double timeoutMs = double(supTimeout) * 10.0;
    const double intervalMaxMs = double(intervalMax) * 1.25;
    if ((1.0 + double(latency)) * intervalMaxMs * 2.0 < timeoutMs)
        return true;

    CFlatMessage::information(this, QStringLiteral("Update Connection Parameters Request Error"),
                              QStringLiteral("Supervision Timeout should greater than (1+Latency)*Interval Maximum*2."));
    if (m_log)
        m_log->log(QStringLiteral("Update Connection Parameters Request Error"), LogLevel::Error);
    return false;
}

bool CCommandUiWidget::send(const QMap<QString, QVariant> &values)
{
    if (m_sender)
        return m_sender(m_cmdName, values, {});
    const bool sent = CCommand::sendMsg(m_msg, m_log, m_cmdName, values, {});
    if (!sent)
        CCommand::logSendFailed(m_log, m_cmdName);
    return sent;
}

void CCommandUiWidget::on_btn_command_clicked()
{
    QMap<QString, QVariant> values;
    if (!m_editable) {
        values.insert(QStringLiteral("condix"), int(m_condix));
        send(values);
        return;
    }

    if (!acceptTypedValues())
        return;
    values = collectFieldValues();
    values.insert(QStringLiteral("condix"), int(m_condix));
    const bool isConnParamsRequest = m_cmdName == QLatin1String(kUpdateConnParamsName);
    if (isConnParamsRequest && !checkConnectionParameters(values))
        return;

    const bool sent = send(values);

    // Only a request that left for the dongle can be renegotiating the link.
    if (isConnParamsRequest && sent) {
        if (m_diagram)
            m_diagram->setState(1);
        if (m_timer)
            m_timer->start(kRenegotiationTimeoutMs);
    }
}

void CCommandUiWidget::on_timeout()
{
    if (m_diagram && m_diagram->getState() == 1)
        m_diagram->setState(2);
}

void CCommandUiWidget::on_toolButton_clicked()
{
    if (m_expanded) {
        ui->frame->hide();
        ui->toolButton->setIcon(QIcon(kExpandIcon));
    } else {
        ui->frame->show();
        ui->toolButton->setIcon(QIcon(kCollapseIcon));
    }
    m_expanded = !m_expanded;
}

void CCommandUiWidget::onWidgetPressed()
{
    on_toolButton_clicked();
}

bool CCommandUiWidget::showFieldValue(const UiFieldInfo &field, QWidget *editor, const QByteArray &value)
{
    quint64 number = 0;
    if (auto *line = qobject_cast<CValidateLineEdit *>(editor)) {
        const QString subType = line->getSubType();
        if (subType == QLatin1String("addr")) {
            if (value.size() != 6)
                return false;
            QByteArray reversed;
            for (int i = value.size() - 1; i >= 0; --i)
                reversed.append(value.at(i));
            line->setValue(CUtil::hexText(reversed));
        } else if (subType == QLatin1String("int")) {
            if (CUtil::arrayToValue(0, value, &number) != 0)
                return false;
            line->setText(QString::number(number));
        } else if (subType == QLatin1String("int8")) {
            if (value.size() != 1)
                return false;
            line->setValue(CUtil::hexText(value));
        } else if (subType == QLatin1String("int16double")) {
            if (value.size() != 2)
                return false;
            line->setValue(CUtil::hexText(QByteArray(1, value.at(1)) + value.at(0)));
        }
    } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        if (CUtil::arrayToValue(0, value, &number) != 0)
            return false;
        combo->setCurrentIndex(number > quint64(combo->count()) ? -1 : int(number));
    } else if (auto *text = qobject_cast<CValidateTextEdit *>(editor)) {
        if (CUtil::arrayToValue(0, value, &number) != 0)
            return false;
        text->setText(QString::number(number));
    }
    Q_UNUSED(field)
    return true;
}

void CCommandUiWidget::setFieldValueInGlayout(QMap<QString, QByteArray> values)
{
    UiComponentFields component;
    if (!findComponent(&component))
        return;

    for (int r = 0; r < ui->VLayout->count(); ++r) {
        QLayout *row = ui->VLayout->itemAt(r)->layout();
        if (!row)
            continue;
        int i = 0;
        while (i < row->count()) {
            QWidget *widget = row->itemAt(i)->widget();
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                QLayoutItem *editorItem = i + 1 < row->count() ? row->itemAt(i + 1) : nullptr;
                QWidget *editor = editorItem ? editorItem->widget() : nullptr;
                for (const UiFieldInfo &field : qAsConst(component.fields)) {
                    if (field.title != label->text() || !editor)
                        continue;
                    for (auto it = values.cbegin(); it != values.cend(); ++it) {
                        if (it.key() != field.key)
                            continue;
                        if (!showFieldValue(field, editor, it.value())) {
                            if (m_log)
                                m_log->log(QStringLiteral("FILE:%1 LINE:%2 FUNCTION:%3 Internal error.")
                                               .arg(QFileInfo(QStringLiteral(__FILE__)).fileName())
                                               .arg(__LINE__)
                                               .arg(QStringLiteral("CCommandUiWidget::setFieldValueInGlayout")),
                                           LogLevel::Debug);
                            return;
                        }
                    }
                }
                i += 2;
            } else if (auto *view = qobject_cast<QTableView *>(widget)) {
                for (const UiFieldInfo &field : qAsConst(component.fields)) {
                    if (!values.contains(field.key))
                        continue;
                    quint64 mask = 0;
                    if (CUtil::arrayToValue(0, values.value(field.key), &mask) != 0)
                        continue;
                    if (auto *full = dynamic_cast<uplinkMsgTableModel *>(view->model())) {
                        if (full->title() == field.title) {
                            full->setItems(maskItems(field, mask));
                            full->refresh();
                        }
                    } else if (auto *half = dynamic_cast<uplinkMsgHalfTableModel *>(view->model())) {
                        if (half->title() == field.title) {
                            half->setItems(maskItems(field, mask));
                            half->refresh();
                        }
                    }
                }
                ++i;
            } else {
                break;
            }
        }
    }
}

QVector<CCommandUiWidget::GroupForm> CCommandUiWidget::groupForms(const QString &father, LogManager *logger)
{
    const CCfgFileParse *catalogue = CCfgFileParse::instance();
    QVector<GroupForm> forms;
    for (const UiComponentInfo &component : catalogue->m_downlinkUiComponentVec) {
        if (component.father != father)
            continue;
        UiComponentFields fields;
        if (CUtil::findNameToUiElement(catalogue->m_downlinkNameToUiVec, component.name, &fields) != 0) {
            if (logger)
                logger->log(QStringLiteral("find element from m_downlinkNameToUiVec failed."), LogLevel::Debug);
            break;
        }
        forms.append({component.name, component.format == QLatin1String("write"), fields.fields});
    }
    return forms;
}
