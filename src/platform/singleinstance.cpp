#include "singleinstance.h"
#include "messages.h"
#include "paths.h"

#include <QStandardPaths>

namespace vt {

SingleInstance::SingleInstance(const QString &lockPath) : m_lock(lockPath)
{
    // Held for the whole run: only a dead owner makes it stale, never its age.
    m_lock.setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    if (m_lock.tryLock(0))
        return true;
    return m_lock.error() != QLockFile::LockFailedError;
}

bool SingleInstance::acquireOrTell()
{
    if (acquire())
        return true;
    plain(alreadyRunningText());
    return false;
}

void SingleInstance::release()
{
    if (m_lock.isLocked())
        m_lock.unlock();
}

QString SingleInstance::defaultLockPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    EnsureFolder(dir);
    return PathJoin(dir, QStringLiteral("vantrel.lock"));
}

QString SingleInstance::alreadyRunningText()
{
    return QStringLiteral("Vantrel ist bereits gestartet!\rBitte wechseln Sie in der Taskleiste zum Programm "
                          "\"Vantrel\"\rApplication already running!");
}

} // namespace vt
