#pragma once

#include "bootloaderengine.h"
#include "pageinterfaces.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

class CMsg;
class LogManager;

// Puts new firmware on a dongle through its boot loader in two stages: the
// boot image carried as a resource (chosen by chip type), then the user's
// file through that boot image. The protocol runs in BootLoaderEngine; this
// shell loads the files, carries frames to and from the link and keeps the
// watchdog and the pauses on single-shot timers, so the GUI never blocks.
class cDownLoadFirmWare : public FirmwareLoader, private BootLoaderEngine::Listener
{
    Q_OBJECT

public:
    static const QString BootImageChip0;
    static const QString BootImageChip1;
    // Files beyond this cannot be firmware for the dongle's flash.
    static constexpr qint64 MaxImageSize = 16 * 1024 * 1024;

    cDownLoadFirmWare(const QString &dongleName, CMsg *link, LogManager *logger, QObject *parent = nullptr,
                      int stepTimeoutMs = BootLoaderEngine::DefaultStepTimeoutMs);
    ~cDownLoadFirmWare() override;

    // 0 when the file can be offered for download, -1 otherwise.
    int checkFirmwareFile(const QString &path) override;
    void setChipType(int type) override;
    // Sends the boot image's start frame; the end is told by a signal.
    void startDownload(const QString &userPath) override;
    bool usesStandInBootImage() const override { return usesStandInBootImages(); }

    // True while the embedded boot images are our stand-ins, not the maker's.
    static bool usesStandInBootImages();

    void setStepTimeout(int ms) { m_engine.setStepTimeout(ms); }
    void setPauses(int afterEndMs, int afterRunMs) { m_engine.setPauses(afterEndMs, afterRunMs); }
    QString currentImagePath() const { return m_imagePath; }
    bool isRunning() const { return m_engine.state() != BootLoaderEngine::Idle || m_pause.isActive(); }

public slots:
    void onRcvDownLoadMsg(QByteArray frame);

private:
    enum Stage { BootStage, UserStage };

    int startStage(const QString &path);
    void failStage(const QString &reason);
    void armWatchdog();
    void onWatchdog();
    void onPauseOver();
    void log(const QString &text, int level) const;

    void sendBootFrame(const QByteArray &frame) override;
    void engineLog(const QString &text, int level) override;
    void pauseFor(int ms) override;
    void flashProgress(quint32 sent, quint32 total) override;
    void stageFinished() override;
    void stageFailed(const QString &reason) override;
    bool lastFrameLeft() const override;

    CMsg *m_link;
    LogManager *m_logger;
    QString m_userPath;
    QString m_imagePath;
    Stage m_stage = BootStage;
    BootLoaderEngine m_engine;
    QElapsedTimer m_clock;
    // The link's number of the last boot-loader frame queued.
    quint64 m_lastFrame = 0;
    QTimer m_watchdog;
    QTimer m_pause;
};
