#include "databasebackup.h"
#include "clock.h"
#include "paths.h"
#include "sqlitefunctions.h"
#include "sqlstatement.h"
#include "text.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>

namespace vt {

namespace {

const QString kCatalog = QStringLiteral("Buttons.ini");

bool failWith(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// Work files that belong to no database: the data folder's lock, what SQLite
// keeps beside an open table, a table being made, a copy not yet finished.
bool isWorkFile(const QString &name)
{
    static const char *const endings[] = {".lck", ".lck.rmlink", "-journal", "-wal", "-shm", ".creating", ".part"};
    for (const char *e : endings)
        if (name.endsWith(QLatin1String(e), Qt::CaseInsensitive))
            return true;
    return false;
}

// The files of a folder to copy, in name order (broken links too: they are
// reported when they cannot be read, never passed over).
QStringList filesOf(const QString &folder)
{
    QStringList out;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &e : entries)
        if (!e.fileName().startsWith(QLatin1Char('.')) && !e.isDir() && !isWorkFile(e.fileName()))
            out.append(e.filePath());
    return out;
}

bool isSqliteFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3", 16);
}

bool replaceFile(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

QString cannotCopyText(const QString &path)
{
    return QStringLiteral("Die Datei \"%1\" kann nicht kopiert werden!").arg(path);
}

// Counts bytes copied against the total and reports whole percents.
class ByteProgress
{
public:
    ByteProgress(const QStringList &files, const BackupProgress &report) : m_report(report)
    {
        for (const QString &f : files)
            m_total += QFileInfo(f).size();
    }
    void add(qint64 bytes)
    {
        m_done += bytes;
        if (!m_report)
            return;
        const int percent = m_total > 0 ? int(std::min<qint64>(100, m_done * 100 / m_total)) : 100;
        if (percent != m_last)
            m_report(m_last = percent);
    }

private:
    BackupProgress m_report;
    qint64 m_total = 0, m_done = 0;
    int m_last = -1;
};

// A consistent copy of a table through SQLite's backup API, checked afterwards.
bool copyTable(const QString &source, const QString &target, ByteProgress &progress, QString *error)
{
    sqlite3 *src = nullptr, *dst = nullptr;
    QString reason;
    bool ok = openConnection(source, SQLITE_OPEN_READONLY, &src) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(src, 5000);
        QFile::remove(target);
        ok = openConnection(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &dst) == SQLITE_OK;
    }
    // The copy is checked before it counts, so it needs no journal of its own;
    // the check compares its indexes in the tables' own collation.
    ok = ok && RegisterTextFunctions(dst) &&
         sqlite3_exec(dst, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_backup *b = sqlite3_backup_init(dst, "main", src, "main");
        ok = b != nullptr;
        if (ok) {
            int rc, waits = 0;
            qint64 pagesDone = 0;
            const qint64 size = QFileInfo(source).size();
            do {
                rc = sqlite3_backup_step(b, 4096);
                const int total = sqlite3_backup_pagecount(b), remaining = sqlite3_backup_remaining(b);
                if (total > 0) {
                    const qint64 now = total - remaining;
                    progress.add((now - pagesDone) * size / total);
                    pagesDone = now;
                }
                // Another connection writing the table for a moment.
                if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits <= 100)
                    sqlite3_sleep(50);
            } while (rc == SQLITE_OK || ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waits <= 100));
            ok = rc == SQLITE_DONE;
            sqlite3_backup_finish(b);
        }
        if (!ok)
            reason = QString::fromUtf8(sqlite3_errmsg(dst));
    } else {
        reason = QString::fromUtf8(src ? sqlite3_errmsg(src) : "out of memory");
    }
    if (ok) {
        sqlite3_stmt *s = nullptr;
        ok = sqlite3_prepare_v2(dst, "PRAGMA quick_check", -1, &s, nullptr) == SQLITE_OK &&
             sqlite3_step(s) == SQLITE_ROW &&
             QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))) == "ok";
        if (!ok)
            reason = QStringLiteral("die Prüfung der Kopie schlug fehl");
        sqlite3_finalize(s);
    }
    sqlite3_close_v2(dst);
    sqlite3_close_v2(src);
    if (!ok) {
        QFile::remove(target);
        return failWith(error,
                        QStringLiteral("Die Tabelle \"%1\" kann nicht gesichert werden: %2").arg(source, reason));
    }
    return true;
}

// A plain copy, compared with its source.
bool copyPlain(const QString &source, const QString &target, ByteProgress &progress, QString *error)
{
    QFile::remove(target);
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly))
        return failWith(error, CannotOpenFileText(source));
    if (!out.open(QIODevice::WriteOnly))
        return failWith(error, CannotWriteFileText(target));
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
        progress.add(chunk.size());
    }
    ok = ok && in.error() == QFileDevice::NoError && out.flush() && out.size() == in.size();
    out.close();
    if (!ok) {
        QFile::remove(target);
        return failWith(error, cannotCopyText(source));
    }
    return true;
}

// Copies one file beside its target under a temporary name, checks it and
// puts it in place.
bool copyChecked(const QString &source, const QString &target, ByteProgress &progress, QString *error)
{
    const QString part = target + QStringLiteral(".part");
    const bool copied =
        isSqliteFile(source) ? copyTable(source, part, progress, error) : copyPlain(source, part, progress, error);
    if (!copied)
        return false;
    if (!replaceFile(part, target)) {
        QFile::remove(part);
        return failWith(error, CannotWriteFileText(target));
    }
    return true;
}

} // namespace

QStringList BackupSourceFiles(const QString &dataFolder)
{
    return filesOf(dataFolder);
}

QStringList FilesInBackupFolder(const QString &dataFolder, const QString &folder)
{
    QStringList names;
    for (const QString &f : BackupSourceFiles(dataFolder) + QStringList{kCatalog}) {
        const QString name = QFileInfo(f).fileName();
        if (QFileInfo::exists(PathJoin(folder, name)))
            names.append(name);
    }
    return names;
}

bool BackupTargetFolder(const QString &base, const QString &name, QString *folder, QString *error)
{
    const QString n = Trimmed(name);
    if (n.isEmpty()) {
        *folder = WithTrailingSlash(base);
        return true;
    }
    if (n.contains(QLatin1Char('/')) || n.contains(QLatin1Char('\\')) || n == QLatin1String(".") ||
        n == QLatin1String(".."))
        return failWith(error, QStringLiteral("\"%1\" ist kein gültiger Ordnername!").arg(n));
    *folder = WithTrailingSlash(PathJoin(base, n));
    // A folder of that name is used as it is; the question before replacing files follows.
    if (!QFileInfo(*folder).isDir() && !QDir().mkdir(*folder))
        return failWith(error, QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden!").arg(*folder));
    return true;
}

bool CreateBackup(const QString &appFolder, const QString &dataFolder, const QString &folder,
                  const BackupProgress &progress, QString *error)
{
    if (QFileInfo(folder).canonicalFilePath() == QFileInfo(dataFolder).canonicalFilePath())
        return failWith(error, QStringLiteral("Das Backup kann nicht im Datenordner selbst angelegt werden!"));
    if (!QFileInfo(folder).isDir())
        return failWith(error, QStringLiteral("Der Ordner \"%1\" existiert nicht!").arg(folder));
    const QString catalog = ResolveExisting(appFolder, kCatalog);
    const QStringList files = BackupSourceFiles(dataFolder) + QStringList{catalog};
    ByteProgress bytes(files, progress);
    for (const QString &f : files)
        if (!copyChecked(f, PathJoin(folder, QFileInfo(f).fileName()), bytes, error))
            return false;
    const QString marker = PathJoin(folder, kBackupMarkerFile);
    QString writeError;
    if (!WriteLines(marker, {kBackupMarkerTitle, Clock::today().toString(QStringLiteral("dd.MM.yyyy"))}, {},
                    &writeError))
        return failWith(error, writeError);
    return true;
}

bool IsBackupFolder(const QString &folder)
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &n : names)
        if (AsciiUpper(n) == QLatin1String("DATABASE.DB"))
            return true;
    return false;
}

QStringList DescribeBackupFolder(const QString &folder)
{
    const QString marker = ResolveExisting(folder, kBackupMarkerFile);
    if (IsFile(marker))
        return {kBackupMarkerTitle, ReadLines(marker).value(1)};
    if (IsBackupFolder(folder))
        return {kBackupMarkerTitle};
    return {};
}

// ---------------------------------------------------------------------------

RestoreStage::RestoreStage() = default;

RestoreStage::~RestoreStage() = default;

bool RestoreStage::prepare(const QString &appFolder, const QString &dataFolder, const QString &backupFolder,
                           const BackupProgress &progress, QString *error)
{
    m_files.clear();
    // Beside the data folder, so that the staged files are put in place by renaming.
    m_dir = std::make_unique<QTemporaryDir>(PathJoin(appFolder, QStringLiteral(".Wiederherstellung-XXXXXX")));
    if (!m_dir->isValid())
        return failWith(error, CannotWriteFileText(m_dir->path()));
    const QStringList files = filesOf(backupFolder);
    ByteProgress bytes(files, progress);
    QList<Staged> staged;
    for (int i = 0; i < files.size(); ++i) {
        const QString name = QFileInfo(files.at(i)).fileName();
        const QString into = EqualsNoCase(name, kCatalog) ? appFolder : dataFolder;
        Staged s{PathJoin(m_dir->path(), QStringLiteral("%1_%2").arg(i).arg(name)), ResolveExisting(into, name)};
        const bool copied = isSqliteFile(files.at(i)) ? copyTable(files.at(i), s.staged, bytes, error)
                                                      : copyPlain(files.at(i), s.staged, bytes, error);
        if (!copied) {
            m_dir.reset();
            return false;
        }
        staged.append(s);
    }
    m_files = staged;
    return true;
}

bool RestoreStage::swap(QString *error)
{
    if (!m_dir)
        return failWith(error, QStringLiteral("Es wurde kein Backup bereitgestellt."));
    struct Done
    {
        Staged file;
        QStringList aside; // pairs: moved from, moved to
    };
    QList<Done> done;
    const QString asideFolder = PathJoin(m_dir->path(), QStringLiteral("alt"));
    QDir().mkpath(asideFolder);
    auto putBack = [](const QStringList &aside) {
        for (qsizetype k = 0; k + 1 < aside.size(); k += 2)
            replaceFile(aside.at(k + 1), aside.at(k));
    };
    auto undo = [&](const Done &failed, const QString &file) {
        putBack(failed.aside);
        for (qsizetype i = done.size() - 1; i >= 0; --i) {
            replaceFile(done.at(i).file.target, done.at(i).file.staged);
            putBack(done.at(i).aside);
        }
        return failWith(error, CannotWriteFileText(file));
    };
    for (int i = 0; i < m_files.size(); ++i) {
        const Staged &s = m_files.at(i);
        Done d{s, {}};
        // The old file, and a journal beside it that SQLite would otherwise apply to the new one.
        for (const QString &old : {s.target, s.target + QStringLiteral("-journal")}) {
            if (!QFileInfo::exists(old))
                continue;
            const QString to = PathJoin(asideFolder, QStringLiteral("%1_%2").arg(i).arg(QFileInfo(old).fileName()));
            if (!replaceFile(old, to))
                return undo(d, old);
            d.aside << old << to;
        }
        if (!replaceFile(s.staged, s.target))
            return undo(d, s.target);
        done.append(d);
    }
    m_files.clear();
    m_dir.reset();
    return true;
}

} // namespace vt
