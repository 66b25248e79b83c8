#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

class LogManager;

// One advertising set of a dongle.
struct advListItem
{
    int advIndex = 0;
    QString advType;
    quint8 status = 0; // 1 while advertising

    bool operator==(const advListItem &other) const
    {
        return advIndex == other.advIndex && advType == other.advType && status == other.status;
    }
};

// The "Advertisement List" of a dongle's advertising page; read-only for the view.
class AdvListTableTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit AdvListTableTableModel(LogManager *logger, QObject *parent = nullptr);
    ~AdvListTableTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QVector<advListItem> &items() { return m_items; }
    int addItem(advListItem item);
    void updateItem(int row, advListItem item);
    int removeItem(advListItem item);
    void clearItems();

private:
    LogManager *m_logger;
    QVector<advListItem> m_items;
};
