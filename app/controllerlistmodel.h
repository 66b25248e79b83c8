#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

#include "listmodeltext.h"
#include "logger.h"

class LogManager;

// What the controller's device lists share: read-only rows of one entry kind, as the
// controller last reported them, under fixed column titles. Each list says how to show
// a cell and which entries it takes.
template <typename Entry>
class ControllerListModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_devices.size();
    }

    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_titles.size();
    }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid() || index.row() >= m_devices.size() || index.column() >= m_titles.size())
            return QVariant();
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return QVariant();
        return cell(m_devices.at(index.row()), index.column());
    }

    // The lists are never edited in place; a change goes to the controller first.
    bool setData(const QModelIndex &, const QVariant &, int = Qt::EditRole) override { return true; }

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (role != Qt::DisplayRole)
            return QVariant();
        if (orientation == Qt::Vertical)
            return QString::number(section + 1);
        if (section < 0 || section >= m_titles.size()) {
            ListModelText::log(m_logger, QStringLiteral("Device list error."), LogLevel::Debug);
            return QVariant();
        }
        return m_titles.at(section);
    }

    int removeDevice(const Entry &entry)
    {
        const int row = m_devices.indexOf(entry);
        if (row < 0)
            return -1;
        beginResetModel();
        m_devices.remove(row);
        endResetModel();
        return 0;
    }

    void clear()
    {
        beginResetModel();
        m_devices.resize(0);
        endResetModel();
    }

    int deviceCount() const { return m_devices.size(); }
    const QVector<Entry> &devices() const { return m_devices; }

protected:
    ControllerListModel(LogManager *logger, const QStringList &titles, QObject *parent)
        : QAbstractTableModel(parent), m_logger(logger), m_titles(titles)
    {
    }

    virtual QVariant cell(const Entry &entry, int column) const = 0;

    int appendDevice(const Entry &entry)
    {
        beginResetModel();
        m_devices.append(entry);
        endResetModel();
        return 0;
    }

    // A field of the wrong size shows nothing and says which one.
    QVariant refuseCell(const QString &text) const
    {
        ListModelText::log(m_logger, text, LogLevel::Debug);
        return QVariant();
    }

    QVector<Entry> m_devices;
    LogManager *m_logger;

private:
    const QStringList m_titles;
};
