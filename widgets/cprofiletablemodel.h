#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QVector>

// The profiles a dongle offers: a check box that enables the profile, its
// one-byte ID and its name. The list's bytes are ProfileRecordCodec's.
class CProfileTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct ProfileRow
    {
        int checkState = Qt::Unchecked;
        quint8 id = 0;
        QString name;
        // The name as it arrived, written back unchanged.
        QByteArray nameBytes;
    };

    explicit CProfileTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value,
                 int role = Qt::EditRole) override;

    QByteArray toByteArray() const;
    void fromByteArray(const QByteArray &bytes);

private:
    QVector<ProfileRow> m_rows;
    QVector<ProfileRow> m_loadedRows;
};
