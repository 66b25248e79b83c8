#ifndef UPLINKMSGTABLEMODEL_H
#define UPLINKMSGTABLEMODEL_H

#include <QAbstractTableModel>
#include <QPair>
#include <QString>
#include <QVector>

// Read-only view of a bit mask, two bits per row: description and status icon, twice.
class uplinkMsgTableModel : public QAbstractTableModel
{
public:
    explicit uplinkMsgTableModel(const QString &title, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setItems(QVector<QPair<QString, bool>> items);
    void refresh();
    QString title() const;

private:
    QString m_title;
    QVector<QPair<QString, bool>> m_items;
};

#endif // UPLINKMSGTABLEMODEL_H
