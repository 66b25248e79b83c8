#pragma once

#include "ui_cconnectionwidget.h"
#include "ui_cconnectionwidget_advpane.h"
#include "ui_cconnectionwidget_rsppane.h"
#include "ui_cconnectionwidget_syncpane.h"

// The scanning page's form and the panes of its lower tab widget. The panes
// are forms of their own so that each is built inside the tab that holds it:
// a pane built elsewhere and then moved into its tab restyles every widget
// in it, which costs a visible part of start-up.
struct ScanPageForm : Ui_ConnectionWidget, Ui_ScanAdvertisingPane, Ui_ScanResponsePane, Ui_PeriodicSyncPane
{
};
