#include "uplinkmsgtablemodel.h"

uplinkMsgTableModel::uplinkMsgTableModel(const QString &title, QObject *parent)
    : BitMaskTableModel(title, 2, parent)
{
}
