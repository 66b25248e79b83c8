#pragma once

#include "controllerlistmodel.h"

#include <QString>
#include <QVector>

// One advertising set of a dongle.
struct advListItem
{
    advListItem() = default;
    advListItem(int index, const QString &type, quint8 state, const QString &why = QString())
        : advIndex(index), advType(type), status(state), failure(why)
    {
    }

    int advIndex = 0;
    QString advType;
    quint8 status = 0; // 1 while advertising
    // Why the set's last start failed, shown in its Status cell until it starts.
    QString failure;

    // The failure text is what the row shows, not which set it is.
    bool operator==(const advListItem &other) const
    {
        return advIndex == other.advIndex && advType == other.advType && status == other.status;
    }
};

// The "Advertisement List" of a dongle's advertising page; read-only for the view.
class AdvListTableTableModel : public ControllerListModel<advListItem>
{
    Q_OBJECT

public:
    explicit AdvListTableTableModel(LogManager *logger, QObject *parent = nullptr);
    ~AdvListTableTableModel() override;

    // The status column shows an icon while the set advertises, else why its
    // last start failed.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    QVector<advListItem> &items() { return m_devices; }
    int addItem(const advListItem &item) { return appendDevice(item); }
    void updateItem(int row, const advListItem &item);
    int removeItem(const advListItem &item) { return removeDevice(item); }
    void clearItems() { clear(); }

protected:
    QVariant cell(const advListItem &item, int column) const override;
};
