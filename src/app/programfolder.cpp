#include "programfolder.h"
#include "paths.h"
#include "windowsinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// ---------------------------------------------------------------------------
// The data-folder lock
//
// The file holds, one per line, the process ID, the program's name, the
// computer's name, its machine ID and boot ID (the lines QLockFile writes, so
// both read each other's files). The holder keeps the file open with flock()
// and an fcntl() lock, so that on this computer, and on network file systems
// that pass locks on, a held lock can be told from one left behind.

namespace {

struct LockContent
{
    qint64 pid = 0;
    QString program, host;
    QByteArray machineId, bootId;
};

QByteArray ownLockContent()
{
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
           QCoreApplication::applicationName().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n' +
           QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n';
}

LockContent parseLockContent(const QByteArray &data)
{
    LockContent c;
    const QList<QByteArray> lines = data.split('\n');
    bool ok = false;
    c.pid = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok || c.pid <= 0)
        return {};
    c.program = QString::fromUtf8(lines.value(1));
    c.host = QString::fromUtf8(lines.value(2));
    c.machineId = lines.value(3).trimmed();
    c.bootId = lines.value(4).trimmed();
    return c;
}

// Takes both kinds of lock without waiting: flock() holds against other
// processes here, fcntl() also on network file systems. A file system without
// fcntl() locks leaves the flock() alone to decide.
bool lockNatively(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == -1)
        return false;
    struct flock f = {};
    f.l_type = F_WRLCK;
    f.l_whence = SEEK_SET;
    if (::fcntl(fd, F_SETLK, &f) == -1 && errno != ENOLCK && errno != EINVAL && errno != EOPNOTSUPP) {
        ::flock(fd, LOCK_UN);
        return false;
    }
    return true;
}

bool processExists(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QDateTime modificationTime(const struct stat &st)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}

} // namespace

DataFolderLock::DataFolderLock() = default;

DataFolderLock::~DataFolderLock()
{
    release();
}

void DataFolderLock::setIntervals(std::chrono::milliseconds renew, std::chrono::milliseconds stale)
{
    m_renew = renew;
    m_stale = stale;
}

DataFolderLock::Result DataFolderLock::acquire(const QString &dataFolder)
{
    release();
    m_holder = {};
    const QString path = PathJoin(dataFolder, lockFileName());
    const QByteArray native = QFile::encodeName(path);
    // A lock left behind is removed and made anew; when two starts race for it,
    // the one whose file was created wins.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray content = ownLockContent();
            if (::write(fd, content.constData(), size_t(content.size())) != content.size() || !lockNatively(fd)) {
                ::close(fd);
                ::unlink(native.constData());
                return Result::NotPossible;
            }
            m_fd = fd;
            m_path = path;
            m_holder = {};
            m_stop = false;
            m_renewer = std::thread([this] { renewLoop(); });
            return Result::Locked;
        }
        if (errno != EEXIST)
            return Result::NotPossible;
        if (!takeOverIfLeft(path))
            return Result::InUse;
    }
    return Result::InUse;
}

bool DataFolderLock::takeOverIfLeft(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT; // gone meanwhile: try again
    struct stat st = {};
    QByteArray data(512, Qt::Uninitialized); // a lock file is short; more is not read
    const ssize_t n = ::fstat(fd, &st) == 0 ? ::read(fd, data.data(), size_t(data.size())) : -1;
    data.truncate(n > 0 ? qsizetype(n) : 0);
    const LockContent c = parseLockContent(data);
    m_holder.host = c.host;
    m_holder.pid = c.pid;
    m_holder.program = c.program;
    m_holder.renewed = modificationTime(st);

    // On this computer a lock is held exactly while its process holds the file;
    // from elsewhere only its renewal tells that its holder is still running.
    const bool thisComputer = c.pid > 0 && c.host == QSysInfo::machineHostName() &&
                              (c.machineId.isEmpty() || c.machineId == QSysInfo::machineUniqueId());
    bool left;
    if (thisComputer) {
        const bool restartedSince = !c.bootId.isEmpty() && c.bootId != QSysInfo::bootUniqueId();
        left = restartedSince || !processExists(c.pid) || lockNatively(fd);
    } else {
        left = m_holder.renewed.msecsTo(QDateTime::currentDateTime()) > m_stale.count();
    }
    if (left) {
        // Only the file that was judged: a new lock made meanwhile stays.
        struct stat now = {};
        if (::stat(native.constData(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev)
            ::unlink(native.constData());
    }
    ::close(fd);
    return left;
}

void DataFolderLock::renewLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, m_renew, [this] { return m_stop; }))
        ::futimens(m_fd, nullptr);
}

void DataFolderLock::release()
{
    if (m_fd < 0)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_renewer.joinable())
        m_renewer.join();
    // Only while the file is still ours: after a takeover it belongs to another.
    const QByteArray native = QFile::encodeName(m_path);
    struct stat mine = {}, now = {};
    if (::fstat(m_fd, &mine) == 0 && ::stat(native.constData(), &now) == 0 && mine.st_ino == now.st_ino &&
        mine.st_dev == now.st_dev)
        ::unlink(native.constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

} // namespace vt
