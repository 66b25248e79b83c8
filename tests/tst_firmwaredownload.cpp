#include "bootloaderengine.h"
#include "cdownloadfirmware.h"
#include "firmwarefile.h"
#include "firmwareimage.h"
#include "framebuilder.h"
#include "linkrig.h"
#include "simbehaviour_bootloader.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

const QString kFailed = QStringLiteral("download firmware failed.");
const QString kSuccess = QStringLiteral("Program firmware success!");
// Long enough for a loaded machine, short enough that the silent cases stay quick.
constexpr int kShortStepMs = 1500;
constexpr int kWaitMs = 30000;

QByteArray resourceBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the engine against answers given by hand.
struct RecordingListener : BootLoaderEngine::Listener
{
    void sendBootFrame(const QByteArray &frame) override { frames << frame; }
    void engineLog(const QString &text, int level) override { logs << qMakePair(text, level); }
    void pauseFor(int ms) override { pauses << ms; }
    void flashProgress(quint32 sent, quint32 total) override { progress << qMakePair(sent, total); }
    void stageFinished() override { ++finished; }
    void stageFailed(const QString &reason) override
    {
        ++failed;
        reasons << reason;
    }
    bool lastFrameLeft() const override { return frameLeft; }

    quint16 lastCommand() const { return qFromLittleEndian<quint16>(frames.last().constData() + 2); }
    int logCount(const QString &text) const
    {
        int count = 0;
        for (const auto &line : logs)
            count += line.first == text;
        return count;
    }

    QList<QByteArray> frames;
    QList<QPair<QString, int>> logs;
    QList<int> pauses;
    QList<QPair<quint32, quint32>> progress;
    int finished = 0;
    int failed = 0;
    QStringList reasons;
    bool frameLeft = true;
};

// Answers every frame with success until the stage is over.
void runStage(BootLoaderEngine &engine, RecordingListener &listener, const QByteArray &image)
{
    QVERIFY(engine.startStage(image, 0));
    for (int guard = 0; guard < 10000 && listener.finished == 0; ++guard) {
        if (engine.state() == BootLoaderEngine::Paused) {
            engine.resume(0);
            continue;
        }
        engine.feed(SimBootLoader::answer(listener.lastCommand(), 1), 0);
    }
    QCOMPARE(listener.finished, 1);
}

} // namespace

class TestFirmwareDownload : public QObject
{
    Q_OBJECT

private slots:
    void standInImages_data();
    void standInImages();
    void resetAndRunFrameOfChip0();
    void answerAcceptance_data();
    void answerAcceptance();
    void trailerPlacement_data();
    void trailerPlacement();
    void fileCheck_data();
    void fileCheck();
    void bootImageStageFrames();
    void engineWaitsAndTimesOut();
    void answersMatchTheirFrame_data();
    void answersMatchTheirFrame();
    void pauseIgnoresLateAnswers();

    void twoStageDownloadOverTheLink();
    void silentLoaderFailsAfterFiveSeconds();
    void faultyLoaderFails_data();
    void faultyLoaderFails();
    void unusableUserFileFailsSecondStage_data();
    void unusableUserFileFailsSecondStage();
    void chipTypeSelectsBootImage();

private:
    QTemporaryDir m_dir;
};

void TestFirmwareDownload::standInImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("checksum");
    QTest::newRow("chip 0") << cDownLoadFirmWare::BootImageChip0 << 119648 << quint32(0x00BB65B5);
    QTest::newRow("chip 1") << cDownLoadFirmWare::BootImageChip1 << 38272 << quint32(0x003B54A6);
}

void TestFirmwareDownload::standInImages()
{
    QFETCH(QString, path);
    QFETCH(int, size);
    QFETCH(quint32, checksum);
    // The downloader's constructor makes the embedded images available.
    cDownLoadFirmWare downloader(QString(), nullptr, nullptr);
    const QByteArray image = resourceBytes(path);
    QCOMPARE(image.size(), size);
    const QByteArray trailer = image.right(48);
    QCOMPARE(trailer.left(2), QByteArray("QK"));
    QCOMPARE(qFromLittleEndian<quint16>(trailer.constData() + 2), quint16(1));
    QCOMPARE(FirmwareImage::readU32(trailer, 4), quint32(size - 48));
    QCOMPARE(FirmwareImage::readU32(trailer, 8), checksum);
    QCOMPARE(FirmwareImage::readU32(trailer, 12), quint32(0x01042000));
    QCOMPARE(FirmwareImage::readU32(trailer, 16), quint32(0x01042000));
    QCOMPARE(FirmwareImage::readU32(trailer, 20), quint32(3));
    QCOMPARE(FirmwareImage::readU32(trailer, 24), quint32(0x744));
    QCOMPARE(trailer.mid(28, 12), QByteArray("uart_dfu_boo"));
    QCOMPARE(trailer.mid(40), QByteArray(8, '\0'));

    if (!cDownLoadFirmWare::usesStandInBootImages())
        QSKIP("built with the real boot images");
    // A stand-in says what it is, is printable text and keeps the trailer's sum true.
    const QByteArray body = image.left(size - 48);
    QCOMPARE(FirmwareImage::byteSum(body), checksum);
    QVERIFY(body.contains("stand-in_boot_image:not_firmware"));
    for (const char byte : body)
        QVERIFY2(quint8(byte) >= 0x20 && quint8(byte) <= 0x7E, "stand-in filler is printable text");
}

void TestFirmwareDownload::resetAndRunFrameOfChip0()
{
    cDownLoadFirmWare downloader(QString(), nullptr, nullptr);
    RecordingListener listener;
    BootLoaderEngine engine(&listener);
    runStage(engine, listener, resourceBytes(cDownLoadFirmWare::BootImageChip0));
    const QByteArray expected =
        QByteArray("QK") + FrameBuilder::fromHex("02 00 18 00 30 D3 01 00 B5 65 BB 00 00 20 04 01 00 20 04 01 "
                                                 "03 00 00 00 44 07 00 00 8B 03");
    QCOMPARE(FrameBuilder::toHex(listener.frames.last()), FrameBuilder::toHex(expected));
}

void TestFirmwareDownload::answerAcceptance_data()
{
    QTest::addColumn<QByteArray>("answer");
    // accepted, dropped (the step waits on), refused or unreadable (the stage fails)
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("why");     // of an unreadable answer
    const QByteArray good = QByteArray("QK") + FrameBuilder::fromHex("23 00 01 00 01 25 00");
    QTest::newRow("success") << good << "accepted" << QString();
    QTest::newRow("status 0") << QByteArray("QK") + FrameBuilder::fromHex("23 00 01 00 00 24 00") << "refused"
                              << QString();
    QTest::newRow("wrong sum") << QByteArray("QK") + FrameBuilder::fromHex("23 00 01 00 01 24 00") << "unreadable"
                               << "its sum is wrong";
    QTest::newRow("other command") << SimBootLoader::answer(0x24, 1) << "dropped" << QString();
    QTest::newRow("wrong magic") << QByteArray("QJ") + good.mid(2) << "dropped" << QString();
    QTest::newRow("empty payload") << FrameBuilder::bootFrame(0x23) << "unreadable" << "it has no status";
    QTest::newRow("payload over 2000") << FrameBuilder::bootFrame(0x23, QByteArray(2001, '\1')) << "unreadable"
                                       << "its length 2001 is more than 2000";
    QTest::newRow("payload of 2000") << FrameBuilder::bootFrame(0x23, QByteArray(2000, '\1')) << "accepted"
                                     << QString();
    QTest::newRow("truncated") << good.left(8) << "unreadable" << "its length 1 does not match its 8 bytes";
    QTest::newRow("trailing byte") << good + char(0) << "unreadable" << "its length 1 does not match its 10 bytes";
    QTest::newRow("header only") << QByteArray("QK") + FrameBuilder::fromHex("23 00") << "unreadable"
                                 << "it is cut short";
}

void TestFirmwareDownload::answerAcceptance()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, outcome);
    QFETCH(QString, why);
    RecordingListener listener;
    BootLoaderEngine engine(&listener);
    QVERIFY(engine.startStage(FirmwareFile::shortForm(FirmwareFile::body(100)), 0));
    engine.feed(answer, 10);
    const bool fails = outcome == QLatin1String("refused") || outcome == QLatin1String("unreadable");
    const quint16 step = outcome == QLatin1String("accepted") ? BootLoaderEngine::CmdFlash
                         : outcome == QLatin1String("dropped") ? BootLoaderEngine::CmdStart
                                                               : BootLoaderEngine::NoCommand;
    QCOMPARE(engine.currentStep(), step);
    QCOMPARE(listener.frames.size(), outcome == QLatin1String("accepted") ? 2 : 1);
    QCOMPARE(listener.failed, fails ? 1 : 0);
    // Told at once, by what was wrong, not by the watchdog later.
    if (outcome == QLatin1String("unreadable"))
        QCOMPARE(listener.reasons, QStringList{QStringLiteral("The answer of the boot loader to the start frame was "
                                                              "unreadable: %1.")
                                                   .arg(why)});
}

void TestFirmwareDownload::trailerPlacement_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("trailerDistance"); // 0: none
    QTest::addColumn<QString>("error");
    const QByteArray body = FirmwareFile::body(3000);
    const quint32 longLoad = 0x01200000;
    const quint32 shortLoad = 0x01300000;
    QTest::newRow("short form") << FirmwareFile::shortForm(body, "a", shortLoad) << 48 << QString();
    QTest::newRow("long form") << FirmwareFile::longForm(body, "a", longLoad) << 904 << QString();
    // Both magics, with the marker: the long form, for address and copy alike.
    QByteArray both = FirmwareFile::longForm(body, "long", longLoad);
    both.replace(both.size() - 48, 48, FirmwareFile::trailer(body, shortLoad, "short"));
    QTest::newRow("both magics, marker") << both << 904 << QString();
    // Both magics, no marker: the short form, for address and copy alike.
    QByteArray noMarker = FirmwareFile::longForm(body, "long", longLoad, false);
    noMarker.replace(noMarker.size() - 48, 48,
                     FirmwareFile::trailer(noMarker.left(noMarker.size() - 48), shortLoad, "short"));
    QTest::newRow("both magics, no marker") << noMarker << 48 << QString();
    QTest::newRow("long magic without marker") << FirmwareFile::longForm(body, "a", longLoad, false) << 0
                                               << QStringLiteral("Invalid firmware format!");
    QTest::newRow("no magic") << body << 0 << QStringLiteral("cannot find parttern in firmware file");
    QTest::newRow("shorter than a trailer") << QByteArray("QK") << 0
                                            << QStringLiteral("cannot find parttern in firmware file");
    QTest::newRow("short file, short form") << FirmwareFile::shortForm(FirmwareFile::body(10)) << 48 << QString();
    // The trailer's own length must be the bytes before it.
    QByteArray huge = FirmwareFile::shortForm(body, "a", shortLoad);
    huge.replace(huge.size() - 44, 4, QByteArray(4, '\xFF'));
    QTest::newRow("length 0xFFFFFFFF") << huge << 0
                                       << QStringLiteral("firmware image length 4294967295 does not fit the file "
                                                         "(3000 bytes before its trailer)");
    QByteArray longer = FirmwareFile::longForm(body, "a", longLoad);
    longer.prepend("extra");
    QTest::newRow("long form, 5 bytes more") << longer << 0
                                             << QStringLiteral("firmware image length 3000 does not fit the file "
                                                               "(3005 bytes before its trailer)");
}

void TestFirmwareDownload::trailerPlacement()
{
    QFETCH(QByteArray, file);
    QFETCH(int, trailerDistance);
    QFETCH(QString, error);
    RecordingListener listener;
    BootLoaderEngine engine(&listener);
    QString why;
    QCOMPARE(engine.startStage(file, 0, &why), trailerDistance != 0);
    QCOMPARE(why, error);
    if (!trailerDistance) {
        QVERIFY(listener.frames.isEmpty());
        return;
    }
    const QByteArray trailer = file.mid(file.size() - trailerDistance, 48);
    QCOMPARE(engine.trailerCopy(), trailer);
    QCOMPARE(engine.loadAddress(), FirmwareImage::loadAddress(trailer));
    QCOMPARE(listener.frames.first().mid(6, 41), QByteArray(1, '\0') + trailer.left(40));
}

void TestFirmwareDownload::fileCheck_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("result");
    const QByteArray body = FirmwareFile::body(2000);
    QTest::newRow("name and zero") << FirmwareFile::shortForm(body, "ble_tool_fw") << 0;
    QTest::newRow("twelve characters") << FirmwareFile::shortForm(body, "ble_tool_fwX") << -1;
    QTest::newRow("capitals") << FirmwareFile::shortForm(body, "BLE_TOOL_FW") << -1;
    QTest::newRow("other name") << FirmwareFile::shortForm(body, "uart_dfu_boo") << -1;
    QTest::newRow("long form") << FirmwareFile::longForm(body, "ble_tool_fw") << 0;
    // The name is read where the download takes its trailer from.
    QByteArray mixed = FirmwareFile::longForm(body, "other");
    mixed.replace(mixed.size() - 48, 48, FirmwareFile::trailer(body, 0, "ble_tool_fw"));
    QTest::newRow("name only in the trailer not used") << mixed << -1;
    QTest::newRow("long magic without marker") << FirmwareFile::longForm(body, "ble_tool_fw", 0, false) << -1;
    QTest::newRow("length beyond the file") << FirmwareFile::shortForm(body).prepend('x') << -1;
    QTest::newRow("shorter than a trailer") << QByteArray(47, 'x') << -1;
    QTest::newRow("empty") << QByteArray() << -1;
}

void TestFirmwareDownload::fileCheck()
{
    QFETCH(QByteArray, file);
    QFETCH(int, result);
    const QString path = FirmwareFile::write(m_dir.path(), QStringLiteral("check.bin"), file);
    QVERIFY(!path.isEmpty());
    cDownLoadFirmWare downloader(QString(), nullptr, nullptr);
    QCOMPARE(downloader.checkFirmwareFile(path), result);
}

void TestFirmwareDownload::bootImageStageFrames()
{
    cDownLoadFirmWare downloader(QString(), nullptr, nullptr);
    const QByteArray image = resourceBytes(cDownLoadFirmWare::BootImageChip0);
    RecordingListener listener;
    BootLoaderEngine engine(&listener);
    runStage(engine, listener, image);

    // start, 117 flash frames (116 full, one of 864), end, reset-and-run
    QCOMPARE(listener.frames.size(), 120);
    for (int i = 0; i < 117; ++i) {
        const QByteArray frame = listener.frames.at(1 + i);
        const int count = i < 116 ? 1024 : 864;
        QCOMPARE(qFromLittleEndian<quint16>(frame.constData() + 2), quint16(0x24));
        QCOMPARE(frame.size(), 8 + 7 + count);
        QCOMPARE(FirmwareImage::readU32(frame, 7), quint32(0x01042000 + 1024 * i));
        QCOMPARE(frame.mid(13, count), image.mid(1024 * i, count));
    }
    const QByteArray end = listener.frames.at(118);
    QCOMPARE(end.mid(2, 5), FrameBuilder::fromHex("25 00 05 00 00"));
    QCOMPARE(FirmwareImage::readU32(end, 7), FirmwareImage::byteSum(image));
    QCOMPARE(listener.progress.last(), qMakePair(quint32(119648), quint32(119648)));
    QCOMPARE(listener.pauses, (QList<int>{500, 2000}));
    // Once per stage, after the end answer.
    QCOMPARE(listener.logCount(kSuccess), 1);
    QCOMPARE(listener.logCount(QStringLiteral("firmwareProgramFlash")), 117);
    QCOMPARE(listener.failed, 0);
    QCOMPARE(engine.state(), BootLoaderEngine::Idle);
}

void TestFirmwareDownload::engineWaitsAndTimesOut()
{
    RecordingListener listener;
    BootLoaderEngine engine(&listener, 5000);
    QVERIFY(engine.startStage(FirmwareFile::shortForm(FirmwareFile::body(3000)), 1000));
    QCOMPARE(engine.deadline(), qint64(6000));
    engine.feed(SimBootLoader::answer(0x23, 1), 1100);
    engine.feed(SimBootLoader::answer(0x24, 1), 1200);
    QCOMPARE(listener.frames.size(), 3);
    QCOMPARE(engine.deadline(), qint64(6200));
    // A late start answer is ignored, the step keeps waiting.
    engine.feed(SimBootLoader::answer(0x23, 1), 3000);
    QCOMPARE(listener.frames.size(), 3);
    QCOMPARE(listener.logs.last(),
             qMakePair(QStringLiteral("Boot loader answer to command 0x23 ignored while waiting for the answer to "
                                      "flash frame 2 of 3."),
                       1));
    engine.checkTime(6199);
    QCOMPARE(listener.failed, 0);
    engine.checkTime(6200);
    QCOMPARE(listener.failed, 1);
    QCOMPARE(listener.logs.last(), qMakePair(kFailed, 4));
    QCOMPARE(listener.reasons, QStringList{"The boot loader did not answer flash frame 2 of 3 within 5000 ms."});
    QCOMPARE(engine.state(), BootLoaderEngine::Idle);
    QCOMPARE(engine.bytesSent(), quint32(0));
    // Once failed, nothing more happens.
    engine.feed(SimBootLoader::answer(0x24, 1), 6300);
    engine.checkTime(20000);
    QCOMPARE(listener.frames.size(), 3);
    QCOMPARE(listener.failed, 1);
}

void TestFirmwareDownload::answersMatchTheirFrame_data()
{
    QTest::addColumn<QStringList>("script"); // "left" marks the last frame sent as gone; else "CC SS" answers
    QTest::addColumn<int>("framesSent");
    QTest::addColumn<QString>("failure");    // empty: the stage goes on
    QTest::addColumn<int>("ignored");        // DEBUG lines for ignored answers
    // Three flash frames: start, flash 1..3, end, reset-and-run.
    QTest::newRow("repeated answer before the next frame left")
        << QStringList{"left", "23 01", "left", "24 01", "24 01", "left", "24 01"} << 4 << QString() << 1;
    QTest::newRow("repeated start answer") << QStringList{"left", "23 01", "23 01", "left", "24 01"} << 3 << QString()
                                           << 1;
    QTest::newRow("refused flash frame")
        << QStringList{"left", "23 01", "left", "24 01", "left", "24 00", "24 01"} << 3
        << "The boot loader refused flash frame 2 of 3 (status 0)." << 0;
    QTest::newRow("refusal after a repeated answer")
        << QStringList{"left", "23 01", "left", "24 01", "24 01", "left", "24 02"} << 3
        << "The boot loader refused flash frame 2 of 3 (status 2)." << 1;
    QTest::newRow("late refusal of another frame")
        << QStringList{"left", "23 01", "left", "23 00"} << 2
        << "The boot loader refused a frame of command 0x23 (status 0) while waiting for the answer to flash frame "
           "1 of 3."
        << 0;
    QTest::newRow("refusal during the pause")
        << QStringList{"left", "23 01", "left", "24 01", "left", "24 01", "left", "24 01", "left", "25 01", "25 00"}
        << 5 << "The boot loader refused a frame of command 0x25 (status 0) during the pause after the end frame."
        << 0;
}

void TestFirmwareDownload::answersMatchTheirFrame()
{
    QFETCH(QStringList, script);
    QFETCH(int, framesSent);
    QFETCH(QString, failure);
    QFETCH(int, ignored);
    RecordingListener listener;
    BootLoaderEngine engine(&listener);
    listener.frameLeft = false;
    QVERIFY(engine.startStage(FirmwareFile::shortForm(FirmwareFile::body(3000)), 0));
    for (const QString &step : script) {
        if (step == QLatin1String("left")) {
            listener.frameLeft = true;
            continue;
        }
        const QByteArray bytes = FrameBuilder::fromHex(step);
        const int sentBefore = listener.frames.size();
        engine.feed(SimBootLoader::answer(quint8(bytes.at(0)), quint8(bytes.at(1))), 0);
        if (listener.frames.size() != sentBefore)
            listener.frameLeft = false;
    }
    QCOMPARE(listener.frames.size(), framesSent);
    QCOMPARE(listener.failed, failure.isEmpty() ? 0 : 1);
    if (!failure.isEmpty()) {
        QCOMPARE(listener.reasons, QStringList{failure});
        QCOMPARE(listener.logCount(failure), 1);
        QCOMPARE(listener.logCount(kFailed), 1);
        QCOMPARE(engine.state(), BootLoaderEngine::Idle);
    }
    int debugLines = 0;
    for (const auto &line : listener.logs)
        debugLines += line.first.startsWith(QStringLiteral("Boot loader answer to command")) && line.second == 1;
    QCOMPARE(debugLines, ignored);
}

void TestFirmwareDownload::pauseIgnoresLateAnswers()
{
    RecordingListener listener;
    BootLoaderEngine engine(&listener);
    QVERIFY(engine.startStage(FirmwareFile::shortForm(FirmwareFile::body(10)), 0));
    engine.feed(SimBootLoader::answer(0x23, 1), 0);
    engine.feed(SimBootLoader::answer(0x24, 1), 0);
    engine.feed(SimBootLoader::answer(0x25, 1), 0);
    QCOMPARE(engine.state(), BootLoaderEngine::Paused);
    const int sent = listener.frames.size();
    // A repeated end answer during the pause must not start reset-and-run twice.
    engine.feed(SimBootLoader::answer(0x25, 1), 10);
    engine.checkTime(100000);
    QCOMPARE(listener.frames.size(), sent);
    QCOMPARE(listener.failed, 0);
    engine.resume(600);
    QCOMPARE(listener.frames.size(), sent + 1);
    QCOMPARE(engine.currentStep(), quint16(BootLoaderEngine::CmdResetRun));
    engine.resume(700);
    QCOMPARE(listener.frames.size(), sent + 1);
}

void TestFirmwareDownload::twoStageDownloadOverTheLink()
{
    LinkRig rig(QStringLiteral("FirmwareDownload"), 1);
    SimBootLoader loader(rig.dongle);
    QVERIFY(rig.openAndSync());
    const QByteArray userFile = FirmwareFile::longForm(FirmwareFile::body(5000, 3), "ble_tool_fw", 0x01050000);
    const QString path = FirmwareFile::write(m_dir.path(), QStringLiteral("user.bin"), userFile);

    cDownLoadFirmWare downloader(QStringLiteral("dongle"), &rig.link, &rig.logs);
    downloader.setPauses(50, 100);
    QSignalSpy finished(&downloader, &cDownLoadFirmWare::sig_heartBeatRestart);
    QSignalSpy failed(&downloader, &cDownLoadFirmWare::sig_downloadFailed);
    QCOMPARE(downloader.checkFirmwareFile(path), 0);
    downloader.setChipType(1);
    downloader.startDownload(path);
    QVERIFY(downloader.isRunning());
    QVERIFY(finished.wait(kWaitMs));
    QCOMPARE(failed.count(), 0);
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);

    QCOMPARE(loader.errors(), QStringList());
    const QList<SimBootLoader::Stage> stages = loader.stages();
    QCOMPARE(stages.size(), 2);
    const QByteArray bootImage = resourceBytes(cDownLoadFirmWare::BootImageChip1);
    QCOMPARE(stages.at(0).flashed, bootImage);
    QCOMPARE(stages.at(0).flashFrames, 38);
    QCOMPARE(stages.at(0).addresses.first(), quint32(0x01042000));
    QVERIFY(stages.at(0).endSumMatches);
    QVERIFY(stages.at(0).ran);
    QCOMPARE(stages.at(1).flashed, userFile);
    QCOMPARE(stages.at(1).flashFrames, (userFile.size() + 1023) / 1024);
    QCOMPARE(stages.at(1).addresses.first(), quint32(0x01050000));
    QVERIFY(stages.at(1).endSumMatches);
    QVERIFY(stages.at(1).ran);
    QCOMPARE(loader.framesSeen(), 3 + 38 + 3 + stages.at(1).flashFrames);
    QCOMPARE(rig.recorder->count(kSuccess), 2);
    QCOMPARE(rig.recorder->count(kFailed), 0);
    QCOMPARE(downloader.currentImagePath(), cDownLoadFirmWare::BootImageChip0);
    QVERIFY(!downloader.isRunning());
}

void TestFirmwareDownload::silentLoaderFailsAfterFiveSeconds()
{
    LinkRig rig(QStringLiteral("FirmwareSilent"), 1);
    SimBootLoader loader(rig.dongle);
    loader.setFault(SimBootLoader::Silence);
    QVERIFY(rig.openAndSync());
    const QString path = FirmwareFile::write(m_dir.path(), QStringLiteral("silent.bin"),
                                             FirmwareFile::shortForm(FirmwareFile::body(100)));
    cDownLoadFirmWare downloader(QStringLiteral("dongle"), &rig.link, &rig.logs);
    QSignalSpy failed(&downloader, &cDownLoadFirmWare::sig_downloadFailed);
    QSignalSpy finished(&downloader, &cDownLoadFirmWare::sig_heartBeatRestart);
    QElapsedTimer clock;
    clock.start();
    downloader.startDownload(path);
    QVERIFY(downloader.isRunning());
    QVERIFY(failed.wait(kWaitMs));
    QVERIFY2(clock.elapsed() >= 5000, "the step waits its full 5 s");
    QCOMPARE(rig.recorder->count(kFailed), 1);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(loader.framesSeen(), 1);
}

void TestFirmwareDownload::faultyLoaderFails_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("framesSeen");
    // The boot stage of chip 1 has 38 flash frames.
    QTest::newRow("bad status on start") << int(SimBootLoader::BadStatus) << 0x23 << 1;
    QTest::newRow("wrong sum on flash") << int(SimBootLoader::WrongSum) << 0x24 << 2;
    QTest::newRow("bad status on end") << int(SimBootLoader::BadStatus) << 0x25 << 40;
    QTest::newRow("silent on reset-and-run") << int(SimBootLoader::Silence) << 0x02 << 41;
}

void TestFirmwareDownload::faultyLoaderFails()
{
    QFETCH(int, fault);
    QFETCH(int, command);
    QFETCH(int, framesSeen);
    LinkRig rig(QStringLiteral("FirmwareFault"), 1);
    SimBootLoader loader(rig.dongle);
    loader.setFault(SimBootLoader::Fault(fault), quint16(command));
    QVERIFY(rig.openAndSync());
    cDownLoadFirmWare downloader(QStringLiteral("dongle"), &rig.link, &rig.logs, nullptr, kShortStepMs);
    downloader.setPauses(10, 10);
    QSignalSpy failed(&downloader, &cDownLoadFirmWare::sig_downloadFailed);
    QSignalSpy finished(&downloader, &cDownLoadFirmWare::sig_heartBeatRestart);
    downloader.setChipType(1);
    const QString path = FirmwareFile::write(m_dir.path(), QStringLiteral("fault.bin"),
                                             FirmwareFile::shortForm(FirmwareFile::body(100)));
    downloader.startDownload(path);
    QVERIFY(downloader.isRunning());
    QVERIFY(failed.wait(kWaitMs));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(rig.recorder->count(kFailed), 1);
    QCOMPARE(loader.framesSeen(), framesSeen);
    QVERIFY(!downloader.isRunning());
}

void TestFirmwareDownload::unusableUserFileFailsSecondStage_data()
{
    QTest::addColumn<QByteArray>("replacement"); // empty: the file is removed
    QTest::addColumn<QString>("log");
    QTest::newRow("removed") << QByteArray() << QStringLiteral("download firmware not exsit");
    QTest::newRow("trailer gone") << FirmwareFile::body(3000)
                                  << QStringLiteral("cannot find parttern in firmware file");
}

void TestFirmwareDownload::unusableUserFileFailsSecondStage()
{
    QFETCH(QByteArray, replacement);
    QFETCH(QString, log);
    LinkRig rig(QStringLiteral("FirmwareUserGone"), 1);
    SimBootLoader loader(rig.dongle);
    QVERIFY(rig.openAndSync());
    const QString path = FirmwareFile::write(m_dir.path(), QStringLiteral("gone.bin"),
                                             FirmwareFile::shortForm(FirmwareFile::body(100)));
    cDownLoadFirmWare downloader(QStringLiteral("dongle"), &rig.link, &rig.logs);
    downloader.setPauses(10, 10);
    downloader.setChipType(1);
    QSignalSpy failed(&downloader, &cDownLoadFirmWare::sig_downloadFailed);
    QSignalSpy finished(&downloader, &cDownLoadFirmWare::sig_heartBeatRestart);
    downloader.startDownload(path);
    QVERIFY(downloader.isRunning());
    // The file changes while the boot image goes out.
    if (replacement.isEmpty())
        QVERIFY(QFile::remove(path));
    else
        QCOMPARE(FirmwareFile::write(m_dir.path(), QStringLiteral("gone.bin"), replacement), path);
    QVERIFY(failed.wait(kWaitMs));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(rig.recorder->count(log), 1);
    QCOMPARE(loader.stages().size(), 1);
}

void TestFirmwareDownload::chipTypeSelectsBootImage()
{
    cDownLoadFirmWare downloader(QString(), nullptr, nullptr);
    QCOMPARE(downloader.currentImagePath(), cDownLoadFirmWare::BootImageChip0);
    downloader.setChipType(1);
    QCOMPARE(downloader.currentImagePath(), cDownLoadFirmWare::BootImageChip1);
    downloader.setChipType(2);
    downloader.setChipType(-1);
    QCOMPARE(downloader.currentImagePath(), cDownLoadFirmWare::BootImageChip1);
    downloader.setChipType(0);
    QCOMPARE(downloader.currentImagePath(), cDownLoadFirmWare::BootImageChip0);
}

QTEST_MAIN(TestFirmwareDownload)
#include "tst_firmwaredownload.moc"
