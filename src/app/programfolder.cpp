#include "programfolder.h"
#include "paths.h"
#include "windowsinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>

namespace vt {

namespace {

QString g_override;

} // namespace

void SetProgramFolderOverride(const QString &folder)
{
    g_override = WithTrailingSlash(folder);
}

bool FolderIsWritable(const QString &folder)
{
    // The permission bits alone do not tell about read-only mounts.
    QTemporaryFile probe(PathJoin(folder, QStringLiteral(".vantrel-probe-XXXXXX")));
    return probe.open();
}

QString UserProgramFolderCopy()
{
    return WithTrailingSlash(PathJoin(WindowsInfo().AppDataDir, QStringLiteral("Halvicor/Vantrel/Programmordner")));
}

bool SeedProgramFolder(const QString &shipped, const QString &copy)
{
    const QDir from(shipped);
    if (!from.exists() || !EnsureFolder(copy))
        return false;
    bool ok = true;
    QDirIterator it(shipped, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString target = PathJoin(copy, from.relativeFilePath(src));
        if (QFileInfo::exists(target))
            continue;
        ok = EnsureFolder(QFileInfo(target).absolutePath()) && QFile::copy(src, target) && ok;
        // Shipped files may be read-only; the copy is the user's to change.
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
    return ok;
}

QString ProgramFolder()
{
    if (!g_override.isEmpty())
        return g_override;
    const QString fromEnvironment = qEnvironmentVariable("VANTREL_APP_FOLDER");
    if (!fromEnvironment.isEmpty())
        return WithTrailingSlash(QDir(fromEnvironment).absolutePath());
    const QString exeFolder = WithTrailingSlash(QCoreApplication::applicationDirPath());
    if (FolderIsWritable(exeFolder))
        return exeFolder;
    const QString copy = UserProgramFolderCopy();
    SeedProgramFolder(exeFolder, copy);
    return copy;
}

DataFolderLock::Result DataFolderLock::acquire(const QString &dataFolder)
{
    release();
    m_lock = std::make_unique<QLockFile>(PathJoin(dataFolder, LockFileName()));
    // Held for the whole run: never stale by age, only when its process is gone.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Result::Locked;
    const QLockFile::LockError e = m_lock->error();
    release();
    return e == QLockFile::LockFailedError ? Result::InUse : Result::NotPossible;
}

void DataFolderLock::release()
{
    // The lock file goes with its object.
    m_lock.reset();
}

bool DataFolderLock::isLocked() const
{
    return m_lock && m_lock->isLocked();
}

} // namespace vt
