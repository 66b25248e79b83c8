#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <QPushButton>

#include <memory>

#include "clogwidget.h"
#include "cmsg.h"
#include "filechooser.h"
#include "filesizelimit.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "logger.h"
#include "logmanager.h"
#include "logswtich.h"
#include "modalanswerer.h"
#include "recordinglogger.h"
#include "simulateddongle.h"

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

template <typename T>
T *childOf(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// A dongle tab's logging and link.
struct Rig : LinkRig
{
    Rig() : LinkRig(QStringLiteral("logwidget-test"), 20) {}
};

} // namespace

class TestLogWidget : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setFileChooser({}); }

    void formAndTitle();
    void keepsNewestLines();
    void clearLeavesFileAlone();
    void saveCopiesRunFile_data();
    void saveCopiesRunFile();
    void saveReplacesExistingTarget();
    void saveOntoLiveFileKeepsIt_data();
    void saveOntoLiveFileKeepsIt();
    void saveCancelledDoesNothing();
    void failedSaveIsLoggedAndKeepsTarget();
    void saveOnAFullDiskKeepsTheOldFile();
    void copyFileToPath_data();
    void copyFileToPath();

    void levelButtonShowsSwitchWithoutModality();
    void switchSendsChoiceOnClose_data();
    void switchSendsChoiceOnClose();
    void switchWithClosedPortLogsFailure();
};

void TestLogWidget::formAndTitle()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    QCOMPARE(pane.m_label_title->text(), QStringLiteral("Logs"));
    pane.setTitle(QStringLiteral("Tool Log"));
    QCOMPARE(pane.m_label_title->text(), QStringLiteral("Tool Log"));
    QCOMPARE(pane.getTextBrowser(), static_cast<QTextBrowser *>(pane.m_logBrowser));
    QCOMPARE(pane.getTextBrowser()->objectName(), QStringLiteral("m_logBrowser"));
    QCOMPARE(pane.m_tbClear->toolTip(), QStringLiteral("Clear"));
    QCOMPARE(pane.m_tbSave->toolTip(), QStringLiteral("Save"));
    QVERIFY(!pane.m_tbClear->icon().isNull());
    QVERIFY(!pane.m_tbSave->icon().isNull());
    QVERIFY(!pane.m_tbLevel->icon().isNull());
    // The log switch is made when first asked for.
    QVERIFY(!pane.logSwitch());
}

void TestLogWidget::keepsNewestLines()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    QTextBrowser *browser = pane.getTextBrowser();
    for (int i = 0; i < 2100; ++i)
        browser->append(QStringLiteral("line %1").arg(i));
    QCOMPARE(browser->document()->blockCount(), 2000);
    QCOMPARE(browser->document()->firstBlock().text(), QStringLiteral("line 100"));
    QCOMPARE(browser->document()->lastBlock().text(), QStringLiteral("line 2099"));
}

void TestLogWidget::clearLeavesFileAlone()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    rig.logs.log(QStringLiteral("kept in the file"), LogLevel::Info);
    QCoreApplication::processEvents();
    rig.logs.flushLogFiles();
    const QString file = rig.logs.logDir() + QStringLiteral("/UI_log.txt");
    const QByteArray before = readAll(file);
    QVERIFY(before.contains("kept in the file"));

    pane.getTextBrowser()->append(QStringLiteral("shown"));
    pane.m_tbClear->click();
    QVERIFY(pane.getTextBrowser()->toPlainText().isEmpty());
    QCOMPARE(readAll(file), before);
}

void TestLogWidget::saveCopiesRunFile_data()
{
    QTest::addColumn<int>("logType");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("tool log") << 0 << "UI_log.txt";
    QTest::newRow("dongle log") << 1 << "dongle_log.txt";
}

void TestLogWidget::saveCopiesRunFile()
{
    QFETCH(int, logType);
    QFETCH(QString, fileName);

    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, logType);
    rig.logs.log(QStringLiteral("a tool line"), LogLevel::Info);
    rig.logs.dongleLog(QStringLiteral("a dongle line"));
    QCoreApplication::processEvents();

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("saved.log"));
    QString caption, filter;
    setFileChooser([&](FileChooserMode mode, QWidget *, const QString &c, const QString &, const QString &f) {
        if (mode == FileChooserMode::Save) {
            caption = c;
            filter = f;
        }
        return target;
    });
    pane.m_tbSave->click();

    QCOMPARE(caption, QStringLiteral("save File..."));
    QCOMPARE(filter, QStringLiteral("Log file(*.log)"));
    // Save flushed the buffered lines first, so the copy holds them.
    const QByteArray saved = readAll(target);
    QCOMPARE(saved, readAll(rig.logs.logDir() + QLatin1Char('/') + fileName));
    QVERIFY(saved.contains(logType == 0 ? "a tool line" : "a dongle line"));
    QCOMPARE(rig.recorder->count(QStringLiteral("save fail!")), 0);
}

void TestLogWidget::saveReplacesExistingTarget()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    rig.logs.log(QStringLiteral("fresh"), LogLevel::Info);
    QCoreApplication::processEvents();

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("old.log"));
    QVERIFY(writeFile(target, "stale content that is longer than anything else written here ....."));
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return target; });
    pane.onLogSave();
    QCOMPARE(readAll(target), readAll(rig.logs.logDir() + QStringLiteral("/UI_log.txt")));
    // No temporary file is left beside the target.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.log"});
}

void TestLogWidget::saveOntoLiveFileKeepsIt_data()
{
    QTest::addColumn<QString>("spelling");
    QTest::newRow("same path") << "same";
    QTest::newRow("backslashes") << "backslash";
    QTest::newRow("dot segments") << "dots";
    QTest::newRow("symlink") << "symlink";
    QTest::newRow("symlinked folder") << "folderlink";
}

void TestLogWidget::saveOntoLiveFileKeepsIt()
{
    QFETCH(QString, spelling);

    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    rig.logs.log(QStringLiteral("must survive"), LogLevel::Info);
    QCoreApplication::processEvents();
    rig.logs.flushLogFiles();
    const QString folder = rig.logs.logDir();
    const QString live = folder + QStringLiteral("/UI_log.txt");
    const QByteArray before = readAll(live);
    QVERIFY(before.contains("must survive"));

    QTemporaryDir dir;
    QString target;
    if (spelling == QLatin1String("same")) {
        target = live;
    } else if (spelling == QLatin1String("backslash")) {
        target = QString(live).replace(QLatin1Char('/'), QLatin1Char('\\'));
    } else if (spelling == QLatin1String("dots")) {
        target = folder + QStringLiteral("/./../") + QFileInfo(folder).fileName() + QStringLiteral("/UI_log.txt");
    } else if (spelling == QLatin1String("symlink")) {
        target = dir.filePath(QStringLiteral("link.log"));
        QVERIFY(QFile::link(live, target));
    } else {
        const QString linkedFolder = dir.filePath(QStringLiteral("run"));
        QVERIFY(QFile::link(folder, linkedFolder));
        target = linkedFolder + QStringLiteral("/UI_log.txt");
    }
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return target; });
    pane.onLogSave();

    QVERIFY(QFileInfo::exists(live));
    QCOMPARE(readAll(live), before);
    QCOMPARE(rig.recorder->count(QStringLiteral("save fail!")), 0);

    // The live file still takes new lines.
    rig.logs.log(QStringLiteral("after the save"), LogLevel::Info);
    QCoreApplication::processEvents();
    rig.logs.flushLogFiles();
    QVERIFY(readAll(live).contains("after the save"));
}

void TestLogWidget::saveCancelledDoesNothing()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    bool asked = false;
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) {
        asked = true;
        return QString();
    });
    const int linesBefore = rig.recorder->lines().size();
    pane.onLogSave();
    QVERIFY(asked);
    QCOMPARE(rig.recorder->lines().size(), linesBefore);
}

void TestLogWidget::failedSaveIsLoggedAndKeepsTarget()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("no/such/folder/x.log"));
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return target; });
    ModalAnswerer answerer;
    answerer.click(QStringLiteral("m_pbOk"));
    pane.m_tbSave->click();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(rig.recorder->count(QStringLiteral("save fail!")), 1);
    QCOMPARE(rig.recorder->lines().last().second, LogLevel::Debug);
    // The user is told where and why, not only the log.
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("error"));
    const QString told = answerer.seen().first().text;
    QVERIFY2(told.contains(target) && told.contains(QStringLiteral("No such file or directory")), qPrintable(told));

    // A missing source never touches an existing target.
    const QString existing = dir.filePath(QStringLiteral("existing.log"));
    QVERIFY(writeFile(existing, "old"));
    QVERIFY(!CLogWidget::copyFileToPath(dir.filePath(QStringLiteral("missing.txt")), existing));
    QCOMPARE(readAll(existing), QByteArray("old"));
}

void TestLogWidget::saveOnAFullDiskKeepsTheOldFile()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    for (int i = 0; i < 200; ++i)
        rig.logs.log(QStringLiteral("line %1 of a log longer than the room left on the disk").arg(i), LogLevel::Info);
    QCoreApplication::processEvents();
    rig.logs.flushLogFiles();
    QVERIFY(QFileInfo(rig.logs.logDir() + QStringLiteral("/UI_log.txt")).size() > 8000);

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kept.log"));
    const QByteArray old(8000, 'o');
    QVERIFY(writeFile(target, old));
    setFileChooser([&](FileChooserMode, QWidget *, const QString &, const QString &, const QString &) { return target; });
    // No file may grow past 4 KiB until the failure is told: the disk is full.
    auto limit = std::make_unique<FileSizeLimit>(4096);
    QVERIFY(limit->isSet());
    ModalAnswerer answerer;
    QString told;
    answerer.answerWith([&told, &limit](QWidget *box) {
        limit.reset();
        told = ModalAnswerer::describe(box).text;
        box->findChild<QPushButton *>(QStringLiteral("m_pbOk"))->click();
    });
    pane.m_tbSave->click();
    limit.reset();
    QVERIFY(answerer.allAnswered());
    QCOMPARE(readAll(target), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.log"});
    QVERIFY2(told.contains(target) && told.contains(QStringLiteral("left as it was")), qPrintable(told));
    QCOMPARE(rig.recorder->count(QStringLiteral("save fail!")), 1);
}

void TestLogWidget::copyFileToPath_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QByteArray>("targetAfter");
    QTest::newRow("copy") << "src.txt" << "dst.txt" << true << QByteArray("source");
    QTest::newRow("equal paths") << "src.txt" << "src.txt" << true << QByteArray("source");
    QTest::newRow("missing source") << "none.txt" << "dst.txt" << false << QByteArray("<missing>");
    QTest::newRow("source is a folder") << "." << "dst.txt" << false << QByteArray("<missing>");
}

void TestLogWidget::copyFileToPath()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(bool, result);
    QFETCH(QByteArray, targetAfter);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("src.txt")), "source"));
    QCOMPARE(CLogWidget::copyFileToPath(dir.filePath(source), dir.filePath(target)), result);
    QCOMPARE(readAll(dir.filePath(target)), targetAfter);
    QCOMPARE(readAll(dir.filePath(QStringLiteral("src.txt"))), QByteArray("source"));
}

void TestLogWidget::levelButtonShowsSwitchWithoutModality()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 1);
    pane.show();
    pane.m_tbLevel->click();
    LogSwtich *logSwitch = pane.logSwitch();
    QVERIFY(logSwitch->isVisible());
    QVERIFY(!logSwitch->isModal());
    QCOMPARE(logSwitch->m_lbTitle->text(), QStringLiteral("log switch"));
    QCOMPARE(childOf<QLabel>(logSwitch, "label")->text(), QStringLiteral("print sdk log"));
    QCOMPARE(childOf<QLabel>(logSwitch, "label_2")->text(), QStringLiteral("print stack log"));
    QVERIFY(!childOf<QCheckBox>(logSwitch, "sdkCheckBox")->isChecked());
    QVERIFY(!childOf<QCheckBox>(logSwitch, "stackCheckBox")->isChecked());
}

void TestLogWidget::switchSendsChoiceOnClose_data()
{
    QTest::addColumn<bool>("sdk");
    QTest::addColumn<bool>("stack");
    QTest::addColumn<QString>("frame");
    QTest::newRow("none") << false << false << "AA 01 8D 02 00 00 00 C6";
    QTest::newRow("sdk") << true << false << "AA 01 8D 02 00 01 00 C5";
    QTest::newRow("stack") << false << true << "AA 01 8D 02 00 00 01 C5";
    QTest::newRow("both") << true << true << "AA 01 8D 02 00 01 01 C4";
}

void TestLogWidget::switchSendsChoiceOnClose()
{
    QFETCH(bool, sdk);
    QFETCH(bool, stack);
    QFETCH(QString, frame);

    Rig rig;
    QCOMPARE(rig.link.openPort(rig.dongle.portPath()), 0);
    CLogWidget pane(&rig.link, &rig.logs, 0);
    pane.show();
    pane.m_tbLevel->click();
    LogSwtich *logSwitch = pane.logSwitch();
    childOf<QCheckBox>(logSwitch, "sdkCheckBox")->setChecked(sdk);
    childOf<QCheckBox>(logSwitch, "stackCheckBox")->setChecked(stack);
    QSignalSpy rejected(logSwitch, &QDialog::rejected);

    logSwitch->m_tbClose->click();
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!logSwitch->isVisible());
    QVERIFY(rig.dongle.waitForFrames(1));
    QCOMPARE(FrameBuilder::toHex(rig.dongle.receivedBytes().first()), FrameBuilder::toHex(FrameBuilder::fromHex(frame)));

    // Shown again, the boxes are as they were left; closing sends again.
    pane.m_tbLevel->click();
    QCOMPARE(childOf<QCheckBox>(logSwitch, "sdkCheckBox")->isChecked(), sdk);
    QCOMPARE(childOf<QCheckBox>(logSwitch, "stackCheckBox")->isChecked(), stack);
    logSwitch->m_tbClose->click();
    QVERIFY(rig.dongle.waitForFrames(2));
    QCOMPARE(rig.dongle.receivedBytes().at(1), rig.dongle.receivedBytes().at(0));
    rig.link.closePort();
}

void TestLogWidget::switchWithClosedPortLogsFailure()
{
    Rig rig;
    CLogWidget pane(&rig.link, &rig.logs, 0);
    pane.show();
    pane.m_tbLevel->click();
    LogSwtich *logSwitch = pane.logSwitch();
    childOf<QCheckBox>(logSwitch, "sdkCheckBox")->setChecked(true);
    logSwitch->m_tbClose->click();

    QVERIFY(!logSwitch->isVisible());
    QCOMPARE(rig.recorder->count(QStringLiteral("send log printf set message failed")), 1);
    bool atError = false;
    for (const auto &line : rig.recorder->lines()) {
        if (line.first == QLatin1String("send log printf set message failed"))
            atError = line.second == LogLevel::Error;
    }
    QVERIFY(atError);
    QVERIFY(childOf<QCheckBox>(logSwitch, "sdkCheckBox")->isChecked());
    QCOMPARE(rig.dongle.receivedCount(), 0);
}

QTEST_MAIN(TestLogWidget)
#include "tst_logwidget.moc"
