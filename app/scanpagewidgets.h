#pragma once

// Widget kinds of the scanning page's form that the flat toolkit provides.
#include <QComboBox>
#include <QTableView>
#include <QTextBrowser>
#include <QTreeWidget>

#if __has_include("ccustomtableview.h")
#include "ccustomtableview.h"
#else
using CCustomTableView = QTableView;
#endif

#if __has_include("cstyledcombobox.h")
#include "cstyledcombobox.h"
#else
using CStyledComboBox = QComboBox;
#endif

#if __has_include("tflatscrollarea.h")
#include "tflatscrollarea.h"
using FlatTableView = TFlatScrollArea<QTableView>;
using FlatTreeWidget = TFlatScrollArea<QTreeWidget>;
using FlatTextBrowser = TFlatScrollArea<QTextBrowser>;
#else
using FlatTableView = QTableView;
using FlatTreeWidget = QTreeWidget;
using FlatTextBrowser = QTextBrowser;
#endif
