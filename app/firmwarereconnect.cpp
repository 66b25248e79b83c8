#include "firmwarereconnect.h"

#include "cmsg.h"
#include "cselectdongledialog.h"
#include "logger.h"
#include "logmanager.h"

FirmwareReconnect::FirmwareReconnect(CMsg *link, LogManager *logger, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_logger(logger)
{
    m_timer.setInterval(IntervalMs);
}

void FirmwareReconnect::start(const CSelectDongleDialog *dialog)
{
    m_port = m_link->getPortName();
    m_name = dialog ? dialog->foundDongles().value(m_port).dongleName : QString();
    if (m_name == DongleProbeInfo().dongleName)
        m_name.clear();
    m_stage = 0;
    m_attempts = 0;
    m_timer.start();
}

void FirmwareReconnect::stop()
{
    m_timer.stop();
    m_stage = 0;
}

QStringList FirmwareReconnect::candidates(const CSelectDongleDialog *dialog) const
{
    QStringList found{m_port};
    if (m_name.isEmpty() || !dialog)
        return found;
    const QMap<QString, DongleProbeInfo> probed = dialog->foundDongles();
    for (auto it = probed.cbegin(); it != probed.cend(); ++it) {
        if (it.value().dongleName == m_name && !found.contains(it.key()))
            found << it.key();
    }
    return found;
}

FirmwareReconnect::Step FirmwareReconnect::step(CSelectDongleDialog *dialog)
{
    if (m_stage == 0) {
        dialog->disconnectPort(m_port);
        dialog->on_pb_Refresh_clicked();
        m_stage = 1;
        return Step::Waiting;
    }
    const QStringList ports = candidates(dialog);
    for (const QString &port : ports) {
        if (port.isEmpty() || m_link->isOpen())
            continue;
        dialog->connectPort(port);
    }
    if (m_link->isOpen()) {
        if (m_link->getPortName() != m_port)
            m_logger->log(QStringLiteral("%1 came back on %2 after the firmware download.")
                              .arg(m_name, m_link->getPortName()),
                          LogLevel::Info);
        return Step::Reopened;
    }
    ++m_attempts;
    m_logger->log(QStringLiteral("Waiting for the dongle to come back on %1 after the firmware download (attempt %2 "
                                 "of %3).")
                      .arg(ports.join(QStringLiteral(", ")))
                      .arg(m_attempts)
                      .arg(Attempts),
                  LogLevel::Warn);
    if (m_attempts >= Attempts)
        return Step::GaveUp;
    // A dongle that restarts on another port is known only once it is probed.
    if (!m_name.isEmpty() && !dialog->isRefreshing())
        dialog->on_pb_Refresh_clicked();
    return Step::Waiting;
}
