#include "cprofiletablesetting.h"

#include "cprofiletablemodel.h"
#include "tflatscrollarea.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QTableView>

CProfileTableSetting::CProfileTableSetting(const QString &key, const QString &title,
                                           CSetting *parent)
    : CSetting(key, title, parent)
{
}

QVariant CProfileTableSetting::value() const
{
    if (!m_model)
        return m_value;
    return m_model->toByteArray();
}

void CProfileTableSetting::setValue(const QVariant &value)
{
    // The dongle's own list is the default: restoring gives back the last list set.
    m_defaultValue = value;
    m_value = value;
    if (m_model)
        m_model->fromByteArray(value.toByteArray());
}

void CProfileTableSetting::createWidget(QBoxLayout *layout)
{
    if (m_tableView)
        return;
    m_tableView = new TFlatScrollArea<QTableView>;
    m_model = new CProfileTableModel(m_tableView);
    m_tableView->setModel(m_model);
    m_tableView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_tableView->setMinimumHeight(400);
    m_tableView->setShowGrid(false);
    m_tableView->setStyleSheet(
        QStringLiteral(".QTableView{border: 1px solid #e4e4e4;background-color: white;}"));
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    QHeaderView *header = m_tableView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    m_tableView->setColumnWidth(0, 100);
    m_tableView->setColumnWidth(1, 250);
    layout->addWidget(m_tableView);
    // Only shown: building the page must not turn an unset value into the default.
    m_model->fromByteArray(m_value.toByteArray());
}

QTableView *CProfileTableSetting::tableView() const
{
    return m_tableView;
}

CProfileTableModel *CProfileTableSetting::model() const
{
    return m_model;
}
