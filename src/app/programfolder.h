#pragma once
// Where the program keeps its settings, catalogue and data: the program folder,
// the folder of the executable with every shipped file (several workstations
// may share it). When the program may not write there (an installation in a
// system folder), each user works in a copy of it, made from the shipped files.
#include <QLockFile>
#include <QString>

#include <memory>

namespace vt {

// The program folder of this run, ending in "/": the folder set with
// SetProgramFolderOverride, else the one named by the environment variable
// VANTREL_APP_FOLDER, else the executable's folder when it is writable, else the
// user's copy (seeded before it is returned).
QString ProgramFolder();
// Points the program at another folder (tests, the benchmark); an empty text
// restores the normal choice.
void SetProgramFolderOverride(const QString &folder);

// The per-user copy of a program folder that cannot be written.
QString UserProgramFolderCopy();
// Copies every file of the shipped folder (subfolders included) that the copy
// lacks; files already in the copy are the user's and stay as they are. False
// when a file could not be copied.
bool SeedProgramFolder(const QString &shipped, const QString &copy);
// Whether files can be made in the folder.
bool FolderIsWritable(const QString &folder);

// The guard against a second workstation on the same data folder: a lock file
// in the data folder, held while the program runs. A lock left behind by a run
// on this computer that no longer exists is taken over.
class DataFolderLock
{
public:
    enum class Result { Locked, InUse, NotPossible };
    static QString LockFileName() { return QStringLiteral("Vantrel.lck"); }

    DataFolderLock() = default;
    DataFolderLock(const DataFolderLock &) = delete;
    DataFolderLock &operator=(const DataFolderLock &) = delete;

    // InUse: another running copy of the program holds the data folder.
    // NotPossible: the lock file cannot be made (a folder that cannot be written);
    // that is no sign of another user.
    Result acquire(const QString &dataFolder);
    void release();
    bool isLocked() const;

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace vt
