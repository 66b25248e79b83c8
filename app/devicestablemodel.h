#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QModelIndex>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

#include "devicerecord.h"

class LogManager;

// The discovery table: one row per device record of the scanning page, one
// column per field of the "DEVICES_TABLE" form description. The page owns the
// rows; the model only presents them.
class DevicesTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using Record = DeviceRecord;

    // One column as the form description gives it.
    struct Column
    {
        QString key;
        QString title;
        QString type;
        QMap<quint64, QString> elements;
    };

    DevicesTableModel(LogManager *logger, QObject *parent = nullptr);
    ~DevicesTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Between these, as while the link delivers one pass of frames, new rows
    // and changed rows are only noted; endPass announces them: one insertion
    // for the new rows and one change per run of adjacent rows. Passes follow
    // each other faster than anyone can read, so announcements come at most
    // once per display interval; what a pass noted meanwhile waits for it.
    void beginPass();
    void endPass();
    // Announces what passes noted and is still waiting for the display interval.
    void announceNow();
    bool hasPendingChanges() const;
    void setDisplayIntervalMs(int milliseconds) { m_displayIntervalMs = milliseconds; }

    static constexpr int DefaultRowLimit = 100000;
    // The most rows the table keeps; a stream of ever new addresses must not
    // grow memory without end.
    void setRowLimit(int limit) { m_rowLimit = qMax(1, limit); }
    int rowLimit() const { return m_rowLimit; }
    // Before a new row is added: when the table is full, removes the rows
    // seen longest ago, a hundredth of the limit at once so the cost is
    // spread, except the highlighted row and rows keep() holds on to. Returns
    // the removed rows in ascending order (empty when nothing had to go).
    QVector<int> makeRoom(const std::function<bool(int row)> &keep);

    void setItems(QVector<Record> *items);
    void addItem(const Record &record);
    void updateItem(int row, const Record &record);
    void clear();
    void setCurrentIndex(const QModelIndex &index);
    QModelIndex currentIndex() const { return m_currentIndex; }
    void setSearchText(const QString &text) { m_searchText = text; }
    QString searchText() const { return m_searchText; }
    const QVector<Column> &columns() const { return m_columns; }

    // The display text of a cell, as the search compares it.
    QString cellText(int row, int column) const;

private:
    QVariant displayValue(const Record &record, const Column &column) const;
    void announcePending();
    void noteSeen(int row);
    void removeRows(const QVector<int> &rows);
    void logEviction(int count);

    LogManager *m_logger;
    QVector<Record> *m_items = nullptr;
    // Rows the views know of; the items past it were added during a pass.
    int m_shownRows = 0;
    int m_passDepth = 0;
    QVector<int> m_changedRows;
    QTimer m_announceTimer;
    QElapsedTimer m_sinceAnnounced;
    int m_displayIntervalMs = 40;
    int m_rowLimit = DefaultRowLimit;
    // When each row last had a report (a running count), to find the rows
    // seen longest ago.
    QVector<quint64> m_seen;
    quint64 m_seenClock = 0;
    QElapsedTimer m_sinceEviction;
    QElapsedTimer m_sinceEvictionLogged;
    int m_evictedUnlogged = 0;
    QVector<Column> m_columns;
    QModelIndex m_currentIndex;
    QString m_searchText;
};
