#pragma once

#include <QtGlobal>

// Tells the program that the data folder's disk has so much free, and the
// log guard looks at once; when it goes, the disk's own answer comes back.
class FreeDiskSpace
{
public:
    static constexpr qint64 MiB = 1024 * 1024;

    explicit FreeDiskSpace(qint64 bytes);
    ~FreeDiskSpace();
    FreeDiskSpace(const FreeDiskSpace &) = delete;
    FreeDiskSpace &operator=(const FreeDiskSpace &) = delete;

    void set(qint64 bytes);
};
