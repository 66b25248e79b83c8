#pragma once

// Lets the dongle tab build the isochronous pages and the CIS request
// dialog: the program's main calls this once before it builds the main window.
void registerIsochronousPages();
