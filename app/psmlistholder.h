#pragma once

// What the dongle tab needs of its PSM registration dialog, which the
// connection layer builds (a flat dialog, so this is a plain interface the
// dialog class adds to its bases).
class PsmListHolder
{
public:
    virtual ~PsmListHolder() = default;
    virtual void clearPsmList() = 0;
};
