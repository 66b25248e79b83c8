#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QVector>

// What the isochronous parameter tables share: one record per row, in
// insertion order, under fixed column titles. The page edits the list in
// place and then calls refresh(); each table says how a cell looks.
template <typename Record>
class IsoRecordModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_records.size();
    }

    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_titles.size();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_titles.size())
            return QVariant();
        return m_titles.at(section);
    }

    QVector<Record> &records() { return m_records; }
    const QVector<Record> &records() const { return m_records; }

    void refresh()
    {
        beginResetModel();
        endResetModel();
    }

    void removeRecord(int row)
    {
        if (row < 0 || row >= m_records.size())
            return;
        beginResetModel();
        m_records.remove(row);
        endResetModel();
    }

    void clear()
    {
        beginResetModel();
        m_records.clear();
        endResetModel();
    }

    void setRecords(const QVector<Record> &records)
    {
        beginResetModel();
        m_records = records;
        endResetModel();
    }

protected:
    IsoRecordModel(const QStringList &titles, QObject *parent) : QAbstractTableModel(parent), m_titles(titles) {}

    bool isCell(const QModelIndex &index) const
    {
        return index.isValid() && index.row() < m_records.size() && index.column() < m_titles.size();
    }

    static QVariant alignment() { return int(Qt::AlignLeft | Qt::AlignVCenter); }
    static QVariant statusIcon(quint8 status)
    {
        return status == 1 ? QVariant(QIcon(QStringLiteral(":/icons/status.png"))) : QVariant();
    }

    QVector<Record> m_records;

private:
    QStringList m_titles;
};
