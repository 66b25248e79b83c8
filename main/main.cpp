#include "crashhandler.h"
#include "datafolder.h"
#include "maindonglewidget.h"
#include "mainwindow.h"
#include "programstartup.h"
#include "terminationwatcher.h"

#include <QApplication>
#include <QFile>

int main(int argc, char **argv)
{
    Platform::installCrashHandler();

    ProgramStartup::setAttributes();
    QApplication app(argc, argv);
    // Known only now; the working directory may refuse the report.
    Platform::setCrashReportFallbackFolder(QFile::encodeName(Platform::dataFolder()).constData());
    // Before anything can take long, so an early SIGTERM still closes cleanly.
    Platform::TerminationWatcher termination;
    ProgramStartup::prepare(app);

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
