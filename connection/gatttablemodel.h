#pragma once

#include "attributeinfo.h"

#include <QAbstractItemModel>
#include <QVector>

class LogManager;

// The peer's attributes as a flat list, one row per attribute in handle
// order, optionally with a row for each characteristic's value built from its
// declaration. Rebuilt from the page's attribute table; never writes it.
class GattTableModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    GattTableModel(LogManager *logger, const QVector<AttributeInfo> *attributeTable, QObject *parent = nullptr);
    ~GattTableModel() override;

    void setupModelData(bool withValueRows);
    void clear();
    int updateValue(quint16 handle, const QByteArray &value);
    int getAttribute(const QModelIndex &index, AttributeInfo &out) const;
    QVector<AttributeInfo> attributes() const { return m_rows; }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    bool isRow(const QModelIndex &index) const;

    LogManager *m_logger;
    const QVector<AttributeInfo> *m_attributeTable;
    QVector<AttributeInfo> m_rows;
};
