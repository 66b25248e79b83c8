#include "widgetresources.h"

#include <QFile>
#include <QGuiApplication>

#include "windowcompositor.h"

static void initWidgetResourcesOnce()
{
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(qss);
}

void initWidgetResources()
{
    static const bool done = (initWidgetResourcesOnce(), true);
    Q_UNUSED(done)
}

QString flatStyleSheet()
{
    initWidgetResources();
    QFile file(QStringLiteral(":/qss/flat"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

bool translucentWindowsSupported()
{
    static const bool supported = [] {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return true;
        return Platform::compositorRunning();
    }();
    return supported;
}
