#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QMap>
#include <QModelIndex>
#include <QString>
#include <QVector>

class LogManager;

// The discovery table: one row per device record of the scanning page, one
// column per field of the "DEVICES_TABLE" form description. The page owns the
// rows; the model only presents them.
class DevicesTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using Record = QMap<QString, QByteArray>;

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
    // and changed rows are only noted; endPass announces them at once: one
    // insertion for the new rows and one change per run of adjacent rows, so
    // the view lays out and repaints once per pass instead of once per report.
    void beginPass();
    void endPass();

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

    LogManager *m_logger;
    QVector<Record> *m_items = nullptr;
    // Rows the views know of; the items past it were added during a pass.
    int m_shownRows = 0;
    int m_passDepth = 0;
    QVector<int> m_changedRows;
    QVector<Column> m_columns;
    QModelIndex m_currentIndex;
    QString m_searchText;
};
