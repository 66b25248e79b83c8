#pragma once

#include "tflatscrollarea.h"

// The L2CAP pages' views with overlay scroll bars, by names a form can use.
using FlatListWidget = TFlatScrollArea<QListWidget>;
using FlatTreeView = TFlatScrollArea<QTreeView>;
using FlatReceiveView = TFlatScrollArea<QPlainTextEdit>;
