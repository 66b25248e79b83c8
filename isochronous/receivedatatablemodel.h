#pragma once

#include "cfgtypes.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QMap>
#include <QVector>

class LogManager;

// The last received SDUs of one ISO channel, one parsed "Receive ISO Data"
// frame per row; columns follow the "RECEIVE_CIS_DATA" form description.
class ReceiveDataTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ReceiveDataTableModel(LogManager *logger, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    void clear();
    void refresh();
    // Adds a row at the end, dropping the oldest first when `maxRows` are shown.
    void appendRow(const QMap<QString, QByteArray> &row, int maxRows);

    QVector<QMap<QString, QByteArray>> m_rows;

private:
    QVariant cell(const QMap<QString, QByteArray> &row, int column) const;

    QVector<UiFieldInfo> m_fields;
    LogManager *m_logger = nullptr;
};
