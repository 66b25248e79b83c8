#include "recordedlog.h"

#include "logmanager.h"

#include <QDir>

RecordedLog::RecordedLog(const QString &dongleName)
    : m_manager(new LogManager(dongleName))
    , m_recorder(new StampedRecordingLogger)
{
    m_manager->addLogger(m_recorder);
}

RecordedLog::~RecordedLog()
{
    const QString folder = m_manager->logDir();
    delete m_manager;
    QDir(folder).removeRecursively();
}
