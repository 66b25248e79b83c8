#include "advertisingpages.h"
#include "connectionpages.h"
#include "crashhandler.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "testmodepages.h"
#include "widgetresources.h"

#include <QApplication>
#include <QFile>

int main(int argc, char **argv)
{
    Platform::installCrashHandler();

    QApplication app(argc, argv);
    initWidgetResources();
    QFile styleSheet(QStringLiteral(":/qss/flat"));
    if (styleSheet.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromLatin1(styleSheet.readAll()));
        styleSheet.close();
    }

    // Each later layer registers the pages it builds (PageRegistry).
    registerConnectionPages();
    registerAdvertisingPages();
    registerTestModePages();

    MainWindow window;
    window.show();
    window.configureFirstDongle();
    if (MainDongleWidget *first = window.firstDongleWidget())
        first->on_toolButton_selectDongle_clicked();
    return app.exec();
}
