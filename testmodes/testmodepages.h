#pragma once

// Lets the application layer build the test-mode layer's pages and dialogs
// (LCP and IDT pages, firmware downloader, calibration dialog): the program's
// main calls this once before it builds the main window.
void registerTestModePages();
