#include "uplinkmsghalftablemodel.h"

uplinkMsgHalfTableModel::uplinkMsgHalfTableModel(const QString &title, QObject *parent)
    : BitMaskTableModel(title, 1, parent)
{
}
