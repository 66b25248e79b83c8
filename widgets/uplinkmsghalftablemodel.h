#pragma once

#include "bitmasktablemodel.h"

// Read-only view of a bit mask, one bit per row: description and status icon.
class uplinkMsgHalfTableModel : public BitMaskTableModel
{
public:
    explicit uplinkMsgHalfTableModel(const QString &title, QObject *parent = nullptr);
};
