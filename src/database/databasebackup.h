#pragma once
// Backing up every database at once and restoring such a backup.
//
// A backup is a copy of every file of the data folder and of the catalogue
// "Buttons.ini" in a folder of the user's choice, with the marker file
// "Vantrel_Backup.bup" written last. Table files are copied through SQLite's
// backup API while the program may hold them open, so each copy is a consistent
// state of its table and never a file in the middle of a write; every copy is
// checked before the marker is written.
//
// A restore copies a backup into a staging folder beside the data folder
// first, checking every table; only when every file arrived are the files put
// in place, each old one moved aside and brought back should a later step fail.
// A failed or declined restore leaves the databases as they were. The caller
// closes the tables for the swap and opens them again afterwards.
//
// Nothing here shows a message: calls return false and an error text.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace vt {

inline const QString kBackupMarkerFile = QStringLiteral("Vantrel_Backup.bup");
inline const QString kBackupMarkerTitle = QStringLiteral("Vantrel Backup");

// Progress in percent, 0 to 100.
using BackupProgress = std::function<void(int percent)>;

// The files of the data folder a backup takes, as full paths in name order:
// every file whose name does not begin with ".", but for the data folder's
// lock and the work files of SQLite and of the table engine.
QStringList BackupSourceFiles(const QString &dataFolder);
// The names among those files (and the catalogue) that the folder holds already.
QStringList FilesInBackupFolder(const QString &dataFolder, const QString &folder);

// The folder a backup goes into: base + name, made when it is missing, or base
// itself when the name is empty. False for a name that is no single folder name
// or a folder that cannot be made.
bool BackupTargetFolder(const QString &base, const QString &name, QString *folder, QString *error);

// Copies every file of BackupSourceFiles and then AppFolder + "Buttons.ini"
// into the folder, replacing files of the same names, and writes the marker
// file with today's date once every copy has been checked. On failure the
// marker is not written and the error names the file.
bool CreateBackup(const QString &appFolder, const QString &dataFolder, const QString &folder,
                  const BackupProgress &progress, QString *error);

// Whether the folder holds a backup: a file "Database.db" in any case.
bool IsBackupFolder(const QString &folder);
// What the folder list shows of a folder: the marker's title and date, or the
// title alone for a backup without a marker, or nothing.
QStringList DescribeBackupFolder(const QString &folder);

class RestoreStage
{
public:
    RestoreStage();
    ~RestoreStage();
    RestoreStage(const RestoreStage &) = delete;
    RestoreStage &operator=(const RestoreStage &) = delete;

    // Copies every file of the backup folder into the staging folder: the
    // catalogue for the program folder, everything else for the data folder.
    // False (and nothing staged) when a file cannot be read or a table is damaged.
    bool prepare(const QString &appFolder, const QString &dataFolder, const QString &backupFolder,
                 const BackupProgress &progress, QString *error);
    // Puts the staged files in place. Every table must be closed. False when a
    // file could not be put in place; every file is then as it was before.
    bool swap(QString *error);
    // The number of files staged.
    int fileCount() const { return int(m_files.size()); }

private:
    struct Staged
    {
        QString staged, target;
    };
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<Staged> m_files;
};

} // namespace vt
