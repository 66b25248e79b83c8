#include "otherprogram.h"

namespace {
const char *modeName(OtherProgram::Hold hold)
{
    switch (hold) {
    case OtherProgram::Exclusive:
        return "exclusive";
    case OtherProgram::Flock:
        return "flock";
    case OtherProgram::QtSerialPort:
        return "qt";
    case OtherProgram::LockFileOnly:
        return "lockfile";
    }
    return "";
}
} // namespace

OtherProgram::OtherProgram(Hold hold, const QString &devicePath)
{
    m_process.setProgram(QStringLiteral(VANTORA_PORTHOLDER));
    m_process.setArguments({QString::fromLatin1(modeName(hold)), devicePath});
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_failure = m_process.errorString();
        return;
    }
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(10000);
    m_holding = m_process.readLine().trimmed() == "held";
    if (!m_holding)
        m_failure = QString::fromLocal8Bit(m_process.readAllStandardError());
}

OtherProgram::~OtherProgram()
{
    if (m_process.state() != QProcess::NotRunning)
        release();
}

bool OtherProgram::release()
{
    m_process.closeWriteChannel();
    const bool ended = m_process.waitForFinished(10000);
    m_holding = false;
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool OtherProgram::kill()
{
    m_process.kill();
    // Reaped here: a zombie would still count as a live holder of its lock file.
    const bool ended = m_process.waitForFinished(10000);
    m_holding = false;
    return ended;
}
