#pragma once

#include "bitmasktablemodel.h"

// Read-only view of a bit mask, two bits per row: description and status icon, twice.
class uplinkMsgTableModel : public BitMaskTableModel
{
public:
    explicit uplinkMsgTableModel(const QString &title, QObject *parent = nullptr);
};
