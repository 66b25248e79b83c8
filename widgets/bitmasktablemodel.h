#pragma once

#include <QAbstractTableModel>
#include <QPair>
#include <QString>
#include <QVector>

// Read-only view of a bit mask: every bit takes two columns, its description
// and a status icon when set; a row holds bitsPerRow bits side by side.
class BitMaskTableModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setItems(QVector<QPair<QString, bool>> items);
    void refresh();
    QString title() const;

protected:
    BitMaskTableModel(const QString &title, int bitsPerRow, QObject *parent);

private:
    QString m_title;
    int m_bitsPerRow;
    QVector<QPair<QString, bool>> m_items;
};
