#pragma once

// Lets the application layer build the connection layer's pages: the
// program's main calls this once before it builds the main window.
void registerConnectionPages();
