#pragma once

// Widget kinds of the scanning page's form, under names the form compiler
// can use.
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextBrowser>
#include <QTreeWidget>

#include "ccustomtableview.h"
#include "cstyledcombobox.h"
#include "tflatscrollarea.h"

using FlatTableView = TFlatScrollArea<QTableView>;
using FlatTreeWidget = TFlatScrollArea<QTreeWidget>;
using FlatTextBrowser = TFlatScrollArea<QTextBrowser>;
using FlatPlainTextEdit = TFlatScrollArea<QPlainTextEdit>;
