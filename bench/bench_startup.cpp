// Start-up to the first exposed window: the program's own start (its
// application attributes, style sheet, page registries, main window with its
// first dongle tab) against a minimal Qt Widgets window, each a fresh
// process, alternating in one run; then the program again restoring five
// dongle tabs from config.ini. The program paints with raster widgets only
// and so skips the OpenGL set-up a default window has; a minimal window set
// up the same way shows how much of the rest is the program's own.
// Timed by the parent from starting the process to the child's word that
// its window was exposed.
//
//   bench_startup [rounds=5]
#include "benchprobe.h"
#include "mainwindow.h"
#include "programstartup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const char ExposedWord[] = "exposed";

// Says the word, with where the child's own time went, and leaves once the
// window's first expose arrives.
class ExposeWatch : public QObject
{
public:
    QElapsedTimer clock;
    double setUpMs = 0;
    double builtMs = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            std::printf("%s: set-up %.1f ms, window built %.1f ms, exposed %.1f ms after the application object\n",
                        ExposedWord, setUpMs, builtMs, double(clock.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return QObject::eventFilter(watched, event);
    }
};

enum class Child { Minimal, RasterMinimal, Program };

int runChild(QApplication &app, Child kind)
{
    ExposeWatch watch;
    watch.clock.start();
    std::unique_ptr<QWidget> window;
    if (kind == Child::Program) {
        ProgramStartup::prepare(app);
        watch.setUpMs = double(watch.clock.nsecsElapsed()) / 1e6;
        window = std::make_unique<MainWindow>();
    } else {
        window = std::make_unique<QWidget>();
        window->resize(800, 600);
    }
    watch.builtMs = double(watch.clock.nsecsElapsed()) / 1e6;
    window->winId();
    window->windowHandle()->installEventFilter(&watch);
    window->show();
    return app.exec();
}

// Milliseconds from starting the child to its word; -1 when it never came.
double timeChild(const QString &mode, const QString &folder, QString *childSays = nullptr)
{
    QProcess child;
    child.setWorkingDirectory(folder);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode});
    double ms = -1;
    QByteArray said;
    while (child.waitForReadyRead(30000)) {
        said += child.readAll();
        if (said.contains('\n') && said.contains(ExposedWord)) {
            ms = double(clock.nsecsElapsed()) / 1e6;
            break;
        }
    }
    child.waitForFinished(30000);
    if (childSays)
        *childSays = QString::fromLatin1(said.trimmed());
    return ms;
}

double median(std::vector<double> values)
{
    return BenchProbe::percentile(std::move(values), 0.5);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    BenchProbe::headlessByDefault();
    // Attributes are set before the application object, as the program does.
    const bool child = argc > 2 && std::strcmp(argv[1], "--child") == 0;
    const Child kind = !child ? Child::Minimal
                       : std::strcmp(argv[2], "program") == 0 ? Child::Program
                       : std::strcmp(argv[2], "raster") == 0  ? Child::RasterMinimal
                                                              : Child::Minimal;
    if (kind == Child::Program)
        ProgramStartup::setAttributes();
    else if (kind == Child::RasterMinimal)
        QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (child)
        return runChild(app, kind);

    const int rounds = qMax(1, args.value(1, QStringLiteral("5")).toInt());
    // The program reads and writes config.ini in its working directory.
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("config.ini"));
    // A first start makes one new dongle tab; a later one restores the five
    // tabs config.ini names (the first is built, the others wait).
    const auto prepare = [&config](bool restore) {
        QFile::remove(config);
        if (!restore)
            return;
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            for (int tab = 0; tab < 5; ++tab)
                file.write(QStringLiteral("[Dongle%1]\nTabWidgetNumber=%2\n").arg(tab + 1).arg(tab).toLatin1());
        }
    };
    std::vector<double> minimal;
    std::vector<double> rasterMinimal;
    std::vector<double> program;
    std::vector<double> restoring;
    // A first round warms the file cache; it is not counted.
    timeChild(QStringLiteral("minimal"), folder.path());
    prepare(false);
    timeChild(QStringLiteral("program"), folder.path());
    for (int round = 0; round < rounds; ++round) {
        minimal.push_back(timeChild(QStringLiteral("minimal"), folder.path()));
        rasterMinimal.push_back(timeChild(QStringLiteral("raster"), folder.path()));
        QString says;
        prepare(false);
        program.push_back(timeChild(QStringLiteral("program"), folder.path(), &says));
        QString restoreSays;
        prepare(true);
        restoring.push_back(timeChild(QStringLiteral("program"), folder.path(), &restoreSays));
        std::printf("round %d: minimal window %.1f ms (raster only %.1f ms), program %.1f ms (%s), restoring five "
                    "tabs %.1f ms (%s)\n",
                    round + 1, minimal.back(), rasterMinimal.back(), program.back(), qPrintable(says),
                    restoring.back(), qPrintable(restoreSays));
    }
    const double minimalMs = median(minimal);
    const double rasterMinimalMs = median(rasterMinimal);
    const double programMs = median(program);
    const double restoringMs = median(restoring);
    std::printf("\n== Goals\n");
    std::printf("start-up to the first exposed window: %.1f ms against %.1f ms for a minimal Qt Widgets window: "
                "%.2f x (goal: within 1.5 x)\n",
                programMs, minimalMs, minimalMs > 0 ? programMs / minimalMs : 0.0);
    std::printf("the same restoring five dongle tabs: %.1f ms, %.2f x\n", restoringMs,
                minimalMs > 0 ? restoringMs / minimalMs : 0.0);
    std::printf("\n== The program's own share\n");
    std::printf("against a minimal window that also paints with raster widgets only (no OpenGL set-up): %.1f ms, "
                "%.2f x; the program's own set-up and building: %.1f ms\n",
                rasterMinimalMs, rasterMinimalMs > 0 ? programMs / rasterMinimalMs : 0.0,
                programMs - rasterMinimalMs);
    const auto allTimed = [](const std::vector<double> &times) {
        return std::all_of(times.begin(), times.end(), [](double ms) { return ms > 0; });
    };
    const bool complete = allTimed(minimal) && allTimed(rasterMinimal) && allTimed(program) && allTimed(restoring);
    return complete ? 0 : 1;
}
