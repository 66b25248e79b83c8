#ifndef UPLINKMSGHALFTABLEMODEL_H
#define UPLINKMSGHALFTABLEMODEL_H

#include <QAbstractTableModel>
#include <QPair>
#include <QString>
#include <QVector>

// Read-only view of a bit mask, one bit per row: description and status icon.
class uplinkMsgHalfTableModel : public QAbstractTableModel
{
public:
    explicit uplinkMsgHalfTableModel(const QString &title, QObject *parent = nullptr);

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

#endif // UPLINKMSGHALFTABLEMODEL_H
