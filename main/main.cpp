#include "advertisingpages.h"
#include "connectionpages.h"
#include "crashhandler.h"
#include "datafolder.h"
#include "isochronouspages.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "terminationwatcher.h"
#include "testmodepages.h"
#include "widgetresources.h"

#include <QApplication>
#include <QFile>

int main(int argc, char **argv)
{
    Platform::installCrashHandler();

    QApplication app(argc, argv);
    // Known only now; the working directory may refuse the report.
    Platform::setCrashReportFallbackFolder(QFile::encodeName(Platform::dataFolder()).constData());
    // Before anything can take long, so an early SIGTERM still closes cleanly.
    Platform::TerminationWatcher termination;
    initWidgetResources();
    QFile styleSheet(QStringLiteral(":/qss/flat"));
    if (styleSheet.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromLatin1(styleSheet.readAll()));
        styleSheet.close();
    }

    // Each later layer registers the pages it builds (PageRegistry).
    registerConnectionPages();
    registerAdvertisingPages();
    registerIsochronousPages();
    registerTestModePages();

    MainWindow window;
    QObject::connect(&termination, &Platform::TerminationWatcher::sig_terminationRequested, &window,
                     &MainWindow::onTerminationRequested);
    window.show();
    window.showConfigReport();
    window.configureFirstDongle();
    MainDongleWidget *first = window.firstDongleWidget();
    if (first && !termination.terminationRequested())
        first->on_toolButton_selectDongle_clicked();
    // A signal during the start-up dialogs ended their loops; the main loop
    // would not see it any more.
    if (termination.terminationRequested())
        return 0;
    return app.exec();
}
