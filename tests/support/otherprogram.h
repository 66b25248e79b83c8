#pragma once

#include <QProcess>
#include <QString>

// Another program that holds a serial device (the portholder helper), so that
// tests see a port in use exactly as a user would: from a different process.
class OtherProgram
{
public:
    // How it holds the device; see support/main_portholder.cpp.
    enum Hold { Exclusive, Flock, QtSerialPort, LockFileOnly };

    OtherProgram(Hold hold, const QString &devicePath);
    ~OtherProgram();
    OtherProgram(const OtherProgram &) = delete;
    OtherProgram &operator=(const OtherProgram &) = delete;

    // True once it holds the device; the reason on stderr otherwise.
    bool isHolding() const { return m_holding; }
    QString failure() const { return m_failure; }
    qint64 pid() const { return m_process.processId(); }

    // Lets the device go as a well-behaved program does on exit.
    bool release();
    // Dies without letting go of anything (a lock file stays behind).
    bool kill();

private:
    QProcess m_process;
    bool m_holding = false;
    QString m_failure;
};
