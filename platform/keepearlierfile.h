#pragma once

#include <QString>

// Before a receive file starts again: an existing non-empty file at `path` is
// renamed beside it with its modification time in the name
// ("data.txt" -> "data-2026-12-10_10-42-07.txt"), so no earlier data is
// overwritten. The new name is one nothing has, not even a link, and the file
// is only ever renamed, never copied. A link at `path` is not ours and is left
// alone. True when nothing is left at `path` to lose; false (with the
// reason in `error`) when the file could not be moved away. `keptAs` gets the
// new name when a file was moved.
bool keepEarlierFile(const QString &path, QString *error = nullptr, QString *keptAs = nullptr);
