#pragma once

#include <QString>

// Registers the icon and style sheet resources of the widget library. The
// library is static, so the first user has to call this; repeated calls are cheap.
void initWidgetResources();

// The application style sheet ":/qss/flat" as text (empty when missing).
QString flatStyleSheet();

// True when top-level windows can have transparent areas (a compositor runs,
// or the platform always composes). Decided once per process.
bool translucentWindowsSupported();
