#include "cadvdatawidget.h"
#include "ui_cadvdatawidget.h"

#include "advdatatypes.h"
#include "cflatmessage.h"
#include "cutil.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSet>

namespace {

const char UUID_PATTERN[] = "[0-9a-fA-F:,]*";
const char BYTES_PATTERN[] = "[0-9a-fA-F:]*";

// The digit pairs of a field's message value, last pair first; pairs count
// from the last digit, so a lone first digit is dropped.
QString reversedPairs(const QString &digits)
{
    return CUtil::hexPairText(digits.mid(digits.size() % 2), CUtil::Reversed);
}

void prepareTable(QTableView *view, QAbstractItemModel *model)
{
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

} // namespace

CAdvDataWidget::CAdvDataWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CAdvDataWidget)
{
    ui->setupUi(this);
    loadAdTypes();
    ui->valueLineEdit->setUuidType(QStringLiteral("5"), QStringLiteral("00:00"), QString::fromLatin1(UUID_PATTERN));
    ui->le_periodicadvdatda->setLittleEndType(QStringLiteral("0"), QString(), QString::fromLatin1(BYTES_PATTERN));
    prepareTable(ui->tableView_advdata, &m_advDataModel);
    prepareTable(ui->tableView_resdata, &m_resDataModel);
    ui->btnClearAdvData->setToolTip(QStringLiteral("Clear the advertising data in the tableView"));
    ui->btnDeleteAdvData->setToolTip(QStringLiteral("Delete the row in advertising data tableview"));
    ui->btnClearResData->setToolTip(QStringLiteral("Clear the advertising response data in the tableview"));
    ui->btnDeleteResData->setToolTip(QStringLiteral("Delete the row in response data tableview"));
    // Told after the edit has closed: a box inside the commit would run a
    // nested event loop under the view's editor.
    connect(&m_advDataModel, &dataTableModel::editRefused, this, &CAdvDataWidget::showEditRefusal,
            Qt::QueuedConnection);
    connect(&m_resDataModel, &dataTableModel::editRefused, this, &CAdvDataWidget::showEditRefusal,
            Qt::QueuedConnection);
    connect(ui->ADtypeCombox, &QComboBox::currentTextChanged, this, &CAdvDataWidget::adTypeChanged);
}

CAdvDataWidget::~CAdvDataWidget()
{
    delete ui;
}

QByteArray CAdvDataWidget::invalidDataMarker()
{
    return QByteArrayLiteral("FF");
}

void CAdvDataWidget::loadAdTypes()
{
    for (const AdvDataTypeInfo &record : AdvDataTypes::all())
        ui->ADtypeCombox->addItem(record.title);
}

void CAdvDataWidget::adTypeChanged(QString text)
{
    for (const AdvDataTypeInfo &record : AdvDataTypes::all()) {
        if (record.title != text)
            continue;
        if (record.type == QLatin1String("littleEnd"))
            ui->valueLineEdit->setLittleEndType(QString::number(record.length), QString(),
                                                QString::fromLatin1(BYTES_PATTERN));
        else if (record.type == QLatin1String("16bit"))
            ui->valueLineEdit->setUuidType(QStringLiteral("5"), QStringLiteral("00:00"),
                                           QString::fromLatin1(UUID_PATTERN));
        else if (record.type == QLatin1String("32bit"))
            ui->valueLineEdit->setUuidType(QStringLiteral("11"), QStringLiteral("00:00:00:00"),
                                           QString::fromLatin1(UUID_PATTERN));
        else if (record.type == QLatin1String("128bit"))
            ui->valueLineEdit->setUuidType(QStringLiteral("47"),
                                           QStringLiteral("00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00"),
                                           QString::fromLatin1(UUID_PATTERN));
        else if (record.type == QLatin1String("string"))
            ui->valueLineEdit->setStringType(QString(), QStringLiteral("255"));
    }
}

QByteArray CAdvDataWidget::buildAdData(const dataTableModel &model) const
{
    QByteArray bytes;
    const QVector<dataTableModel::Row> rows = model.items();
    for (const dataTableModel::Row &row : rows)
        bytes += AdvDataTypes::structureOf(row.first, row.second);
    return bytes;
}

QByteArray CAdvDataWidget::getAdvData() const
{
    return buildAdData(m_advDataModel);
}

QByteArray CAdvDataWidget::getResData() const
{
    return buildAdData(m_resDataModel);
}

QByteArray CAdvDataWidget::getPeriodicData() const
{
    // Counted on what the user sees: the field would pad an odd count with a
    // digit the user never typed.
    QString shown = ui->le_periodicadvdatda->text();
    if (shown.remove(QLatin1Char(':')).size() % 2 != 0)
        return invalidDataMarker();
    const QString value = ui->le_periodicadvdatda->getValue();
    if (value.size() % 2 != 0)
        return invalidDataMarker();
    return AdvDataTypes::pairsToBytes(reversedPairs(value));
}

void CAdvDataWidget::setPeriodicDataVisible(bool visible)
{
    ui->peradvdataframe->setVisible(visible);
}

bool CAdvDataWidget::checkDuplicateUuid(QString value)
{
    QSet<QString> seen;
    for (const QString &part : value.split(QLatin1Char(','))) {
        // The same UUID in either case is the same UUID on air.
        if (seen.contains(part.toUpper())) {
            CFlatMessage::information(this, QStringLiteral("Advertising Data Configuration Error"),
                                      QStringLiteral("Cannot contain dupliucate UUID."));
            return false;
        }
        seen.insert(part.toUpper());
    }
    return true;
}

void CAdvDataWidget::addRow(dataTableModel &model, const QString &emptyText)
{
    const QString title = ui->ADtypeCombox->currentText();
    if (!ui->valueLineEdit->acceptTyped(title))
        return;
    const QString value = ui->valueLineEdit->getValue();
    QString rowText;
    for (const AdvDataTypeInfo &record : AdvDataTypes::all()) {
        if (record.title != title)
            continue;
        if (record.type == QLatin1String("string")) {
            // A name's structure must fit its one-byte length field.
            if (value.size() / 2 > dataTableModel::MaxNameBytes) {
                CFlatMessage::information(this, QStringLiteral("ERROR"), AdvDataTypes::nameTooLongText());
                return;
            }
            rowText += QString::fromLatin1(AdvDataTypes::pairsToBytes(reversedPairs(value)));
        } else if (record.type == QLatin1String("littleEnd")) {
            rowText += reversedPairs(value);
        } else if (record.type == QLatin1String("16bit") || record.type == QLatin1String("32bit")
                   || record.type == QLatin1String("128bit")) {
            if (!checkDuplicateUuid(value))
                return;
            rowText = value;
        }
    }
    if (value.isEmpty()) {
        CFlatMessage::information(this, QStringLiteral("ERROR"), emptyText);
        return;
    }
    for (const dataTableModel::Row &row : model.items()) {
        if (row.first == title) {
            CFlatMessage::information(this, QStringLiteral("ERROR"), QStringLiteral("This ID Type has been added."));
            return;
        }
    }
    model.items().append(qMakePair(title, rowText));
    model.refresh();
}

void CAdvDataWidget::on_addDataButton_clicked()
{
    addRow(m_advDataModel, QStringLiteral("The input advertising data is empty."));
}

void CAdvDataWidget::on_addResponceData_clicked()
{
    addRow(m_resDataModel, QStringLiteral("The input advertising response data is empty."));
}

void CAdvDataWidget::on_btnClearAdvData_clicked()
{
    m_advDataModel.clear();
}

void CAdvDataWidget::on_btnDeleteAdvData_clicked()
{
    deleteHighlightedRow(ui->tableView_advdata, m_advDataModel);
}

void CAdvDataWidget::on_btnClearResData_clicked()
{
    m_resDataModel.clear();
}

void CAdvDataWidget::on_btnDeleteResData_clicked()
{
    deleteHighlightedRow(ui->tableView_resdata, m_resDataModel);
}

void CAdvDataWidget::deleteHighlightedRow(QTableView *view, dataTableModel &model)
{
    // After a model reset the window makes row 0 current, without highlighting
    // it, when the table gets the focus back: only a highlighted row goes.
    const QModelIndex current = view->currentIndex();
    if (current.isValid() && view->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        model.deleteRow(current.row());
}

void CAdvDataWidget::showEditRefusal(const QString &text)
{
    CFlatMessage::information(this, QStringLiteral("ERROR"), text);
}
