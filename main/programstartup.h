#pragma once

class QApplication;

// What the program sets up before its first window, shared with the start-up
// benchmark so that it times the program's own start.
namespace ProgramStartup {

// Before the application object exists.
void setAttributes();
// The style sheet and the pages every later layer registers.
void prepare(QApplication &app);

} // namespace ProgramStartup
