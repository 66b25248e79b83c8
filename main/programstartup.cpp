#include "programstartup.h"

#include "advertisingpages.h"
#include "connectionpages.h"
#include "isochronouspages.h"
#include "testmodepages.h"
#include "widgetresources.h"

#include <QApplication>
#include <QFile>

namespace ProgramStartup {

void setAttributes()
{
    // Every window here is painted by the raster engine. Without this, Qt
    // loads and sets up OpenGL for the first window, which nothing uses:
    // under X11 that is tens of milliseconds of every start.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
}

void prepare(QApplication &app)
{
    initWidgetResources();
    QFile styleSheet(QStringLiteral(":/qss/flat"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromLatin1(styleSheet.readAll()));

    // Each later layer registers the pages it builds (PageRegistry).
    registerConnectionPages();
    registerAdvertisingPages();
    registerIsochronousPages();
    registerTestModePages();
}

} // namespace ProgramStartup
