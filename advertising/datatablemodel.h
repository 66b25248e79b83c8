#pragma once

#include <QAbstractTableModel>
#include <QPair>
#include <QString>
#include <QVector>

// The rows of one AD structure list: the AD type's title and its value text.
// Only names may be retyped in place; the editor appends rows through items()
// and then calls refresh().
class dataTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using Row = QPair<QString, QString>;

    // A name's value is at most this many bytes, so its structure's length
    // (type byte included) still fits the one-byte length field.
    static constexpr int MaxNameBytes = 254;

    explicit dataTableModel(QObject *parent = nullptr);
    ~dataTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QVector<Row> &items() { return m_rows; }
    const QVector<Row> &items() const { return m_rows; }
    void clear();
    void refresh();
    void deleteRow(int row);

    // A typed name as a row keeps it: one character per byte of its UTF-8
    // form, so an added and a retyped name give the same bytes on air.
    static QString nameRowText(const QString &typed);

signals:
    // An in-place edit was refused for a reason the user must be told.
    void editRefused(const QString &text);

private:
    QVector<Row> m_rows;
};
