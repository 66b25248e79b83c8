#pragma once

// Lets the application layer build the advertising page: the program's main
// calls this once before it builds the main window.
void registerAdvertisingPages();
