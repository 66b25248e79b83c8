#include "advlisttabletablemodel.h"

#include "logmanager.h"

#include <QIcon>

AdvListTableTableModel::AdvListTableTableModel(LogManager *logger, QObject *parent)
    : ControllerListModel(logger,
                          {QStringLiteral("Adv Index"), QStringLiteral("Advertising Type"), QStringLiteral("Status")},
                          parent)
{
}

AdvListTableTableModel::~AdvListTableTableModel() = default;

QVariant AdvListTableTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DecorationRole)
        return ControllerListModel::data(index, role);
    if (!index.isValid() || index.row() >= m_devices.size())
        return QVariant();
    if (index.column() == 2 && m_devices.at(index.row()).status == 1)
        return QIcon(QStringLiteral(":/icons/status.png"));
    return QVariant();
}

QVariant AdvListTableTableModel::cell(const advListItem &item, int column) const
{
    if (column == 0)
        return item.advIndex;
    if (column == 1)
        return item.advType;
    if (item.status != 1 && !item.failure.isEmpty())
        return item.failure;
    return QVariant();
}

void AdvListTableTableModel::updateItem(int row, const advListItem &item)
{
    if (row < 0 || row >= m_devices.size()) {
        ListModelText::log(m_logger, QStringLiteral("Update item failed."), LogLevel::Error);
        return;
    }
    m_devices[row] = item;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}
