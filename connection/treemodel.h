#pragma once

#include "attributeinfo.h"
#include "treeitem.h"

#include <QAbstractItemModel>
#include <QVector>

#include <memory>
#include <vector>

class LogManager;

// The peer's attributes as services, each with its included services and
// characteristics, each characteristic with its value and descriptors below
// it. Built from the page's attribute table on demand; never writes it.
class TreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    TreeModel(LogManager *logger, const QVector<AttributeInfo> *attributeTable, QObject *parent = nullptr);
    ~TreeModel() override;

    void setupModelData();
    int insertAttribute(TreeItem *service, int start, int end);
    void clear();
    int updateValue(quint16 handle, const QByteArray &value);
    int getAttribute(const QModelIndex &index, AttributeInfo &out) const;
    QVector<TreeItem *> items() const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    TreeItem *itemOf(const QModelIndex &index) const;
    TreeItem *newItem(const AttributeInfo &data, TreeItem *parent);
    void dropItems();
    void log(const QString &text, int level) const;

    LogManager *m_logger;
    TreeItem m_rootItem;
    const QVector<AttributeInfo> *m_attributeTable;
    std::vector<std::unique_ptr<TreeItem>> m_items;
    int m_buildState = 0;
};
