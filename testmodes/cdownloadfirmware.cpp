#include "cdownloadfirmware.h"

#include "cmsg.h"
#include "firmwareimage.h"
#include "logger.h"
#include "logmanager.h"
#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

// Q_INIT_RESOURCE must be used from the global namespace.
static void initFirmwareResources()
{
    Q_INIT_RESOURCE(firmware);
}

const QString cDownLoadFirmWare::BootImageChip0 =
    QStringLiteral(":/firmware/resources/firmware/uart_dfu_boot_fw_c1.bin");
const QString cDownLoadFirmWare::BootImageChip1 =
    QStringLiteral(":/firmware/resources/firmware/uart_dfu_boot_fw_c4.bin");

namespace {
const char kNotExist[] = "download firmware not exsit";
const char kOpenFailed[] = "open download firmware failed";
const char kUserFirmwareName[] = "ble_tool_fw";

enum class LoadResult { Loaded, Missing, Unreadable, TooLarge };

// Only regular files are read, and opening one never waits (a FIFO would).
LoadResult loadFile(const QString &path, QByteArray *bytes, QString *reason, qint64 tailOnly = -1)
{
    QFile file;
    switch (Platform::openRegularFile(file, path, reason)) {
    case Platform::RegularFileResult::Opened:
        break;
    case Platform::RegularFileResult::Missing:
        return LoadResult::Missing;
    case Platform::RegularFileResult::NotRegular:
    case Platform::RegularFileResult::Unreadable:
        return LoadResult::Unreadable;
    }
    if (tailOnly >= 0) {
        file.seek(qMax<qint64>(0, file.size() - tailOnly));
        *bytes = file.readAll();
        return LoadResult::Loaded;
    }
    if (file.size() > cDownLoadFirmWare::MaxImageSize) {
        *reason = QStringLiteral("it is larger than %1 bytes").arg(cDownLoadFirmWare::MaxImageSize);
        return LoadResult::TooLarge;
    }
    *bytes = file.readAll();
    return LoadResult::Loaded;
}
} // namespace

cDownLoadFirmWare::cDownLoadFirmWare(const QString &dongleName, CMsg *link, LogManager *logger, QObject *parent,
                                     int stepTimeoutMs)
    : FirmwareLoader(parent)
    , m_link(link)
    , m_logger(logger)
    , m_imagePath(BootImageChip0)
    , m_engine(this, stepTimeoutMs)
{
    Q_UNUSED(dongleName)
    initFirmwareResources();
    m_clock.start();
    m_watchdog.setSingleShot(true);
    m_pause.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &cDownLoadFirmWare::onWatchdog);
    connect(&m_pause, &QTimer::timeout, this, &cDownLoadFirmWare::onPauseOver);
    if (m_link)
        connect(m_link, &CMsg::sig_rcvDownLoadMsg, this, &cDownLoadFirmWare::onRcvDownLoadMsg);
}

cDownLoadFirmWare::~cDownLoadFirmWare() = default;

bool cDownLoadFirmWare::usesStandInBootImages()
{
#ifdef VANTORA_STANDIN_BOOT_IMAGES
    return true;
#else
    return false;
#endif
}

void cDownLoadFirmWare::log(const QString &text, int level) const
{
    if (m_logger)
        m_logger->log(text, level);
}

int cDownLoadFirmWare::checkFirmwareFile(const QString &path)
{
    const auto refuse = [this, &path](const QString &reason) {
        setFailureReason(QStringLiteral("%1: %2.").arg(path, reason));
        return -1;
    };
    QByteArray tail;
    QString reason;
    switch (loadFile(path, &tail, &reason, FirmwareImage::LongFormDistance)) {
    case LoadResult::Missing:
        log(QString::fromLatin1(kNotExist), LogLevel::Error);
        return refuse(reason);
    case LoadResult::Unreadable:
        log(QString::fromLatin1(kOpenFailed), LogLevel::Error);
        return refuse(reason);
    case LoadResult::Loaded:
    case LoadResult::TooLarge:
        break;
    }
    const qint64 size = QFileInfo(path).size();
    if (size > MaxImageSize)
        return refuse(QStringLiteral("it is larger than %1 bytes").arg(MaxImageSize));
    // The name is read from the trailer the download itself will use.
    const QByteArray trailer = FirmwareImage::trailer(tail, size, &reason);
    if (trailer.isEmpty())
        return refuse(reason);
    if (FirmwareImage::name(trailer) != kUserFirmwareName)
        return refuse(QStringLiteral("it is not firmware for this dongle (its name is not \"%1\")")
                          .arg(QString::fromLatin1(kUserFirmwareName)));
    return 0;
}

void cDownLoadFirmWare::setChipType(int type)
{
    if (type == 0)
        m_imagePath = BootImageChip0;
    else if (type == 1)
        m_imagePath = BootImageChip1;
}

void cDownLoadFirmWare::startDownload(const QString &userPath)
{
    m_userPath = userPath;
    m_stage = BootStage;
    startStage(m_imagePath);
}

int cDownLoadFirmWare::startStage(const QString &path)
{
    QByteArray image;
    QString reason;
    switch (loadFile(path, &image, &reason)) {
    case LoadResult::Missing:
        log(QString::fromLatin1(kNotExist), LogLevel::Error);
        failStage(reason);
        return -1;
    case LoadResult::Unreadable:
        log(QString::fromLatin1(kOpenFailed), LogLevel::Error);
        failStage(reason);
        return -1;
    case LoadResult::TooLarge:
        log(QStringLiteral("download firmware is larger than %1 bytes").arg(MaxImageSize), LogLevel::Error);
        failStage(reason);
        return -1;
    case LoadResult::Loaded:
        break;
    }
    if (!m_engine.startStage(image, m_clock.elapsed(), &reason)) {
        log(reason, LogLevel::Error);
        failStage(reason);
        return -1;
    }
    armWatchdog();
    return 0;
}

void cDownLoadFirmWare::failStage(const QString &reason)
{
    m_watchdog.stop();
    m_pause.stop();
    setFailureReason(QStringLiteral("%1: %2.").arg(m_stage == BootStage ? m_imagePath : m_userPath, reason));
    // Nothing reached the dongle before the boot stage; once the boot image
    // runs, the dongle is in its boot loader and the download has failed.
    if (m_stage == BootStage)
        emit sig_heartBeatRestart();
    else
        emit sig_downloadFailed();
}

void cDownLoadFirmWare::armWatchdog()
{
    const qint64 deadline = m_engine.deadline();
    if (deadline < 0) {
        m_watchdog.stop();
        return;
    }
    m_watchdog.start(int(qMax<qint64>(0, deadline - m_clock.elapsed())));
}

void cDownLoadFirmWare::onRcvDownLoadMsg(QByteArray frame)
{
    m_engine.feed(frame, m_clock.elapsed());
    armWatchdog();
}

void cDownLoadFirmWare::onWatchdog()
{
    m_engine.checkTime(m_clock.elapsed());
    armWatchdog();
}

void cDownLoadFirmWare::onPauseOver()
{
    m_engine.resume(m_clock.elapsed());
    armWatchdog();
}

void cDownLoadFirmWare::sendBootFrame(const QByteArray &frame)
{
    if (!m_link)
        return;
    m_link->sendRawMsg(frame);
    m_lastFrame = m_link->lastQueuedFrame();
}

bool cDownLoadFirmWare::lastFrameLeft() const
{
    return !m_link || m_link->hasLeft(m_lastFrame);
}

void cDownLoadFirmWare::engineLog(const QString &text, int level)
{
    log(text, level);
}

void cDownLoadFirmWare::pauseFor(int ms)
{
    m_watchdog.stop();
    m_pause.start(ms);
}

void cDownLoadFirmWare::flashProgress(quint32 sent, quint32 total)
{
    emit sig_progress(m_stage == BootStage ? 1 : 2, sent, total);
}

void cDownLoadFirmWare::stageFinished()
{
    if (m_stage == BootStage) {
        m_stage = UserStage;
        startStage(m_userPath);
        return;
    }
    m_imagePath = BootImageChip0;
    emit sig_heartBeatRestart();
}

void cDownLoadFirmWare::stageFailed(const QString &reason)
{
    m_watchdog.stop();
    setFailureReason(QStringLiteral("stage %1 of 2 (%2): %3")
                         .arg(m_stage == BootStage ? 1 : 2)
                         .arg(m_stage == BootStage ? QStringLiteral("boot image") : m_userPath, reason));
    emit sig_downloadFailed();
}
