#pragma once
// Where the program keeps its settings, catalogue and data: the program folder,
// the folder of the executable with every shipped file (several workstations
// may share it). When the program may not write there (an installation in a
// system folder), each user works in a copy of it, made from the shipped files.
#include <QDateTime>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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
// in the data folder, held while the program runs. It names the computer, the
// process and the program that hold it, and its time is renewed every minute
// by a thread of its own, so that long work on the user-interface thread does
// not let it age. A lock is taken over when it was left behind: by a process
// of this computer that no longer holds it (ended, crashed, or before the last
// restart), or by any computer when it has not been renewed for five minutes.
class DataFolderLock
{
public:
    enum class Result { Locked, InUse, NotPossible };
    static QString lockFileName() { return QStringLiteral("Vantrel.lck"); }

    // Who holds a folder that is in use.
    struct Holder
    {
        QString host;      // computer name; empty when the lock file cannot be read
        qint64 pid = 0;    // process on that computer
        QString program;   // the program's name
        QDateTime renewed; // when the lock was last renewed (local time)
    };

    DataFolderLock();
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock &) = delete;
    DataFolderLock &operator=(const DataFolderLock &) = delete;

    // InUse: another running copy of the program holds the data folder (holder()
    // says which). NotPossible: the lock file cannot be made (a folder that
    // cannot be written); that is no sign of another user.
    Result acquire(const QString &dataFolder);
    void release();
    bool isLocked() const { return m_fd >= 0; }
    Holder holder() const { return m_holder; }

    // How often the lock is renewed and after how long without renewal it counts
    // as left behind (tests shorten them).
    void setIntervals(std::chrono::milliseconds renew, std::chrono::milliseconds stale);
    std::chrono::milliseconds staleAfter() const { return m_stale; }

private:
    bool takeOverIfLeft(const QString &path);
    void renewLoop();

    int m_fd = -1;
    QString m_path;
    Holder m_holder;
    std::chrono::milliseconds m_renew{60000};
    std::chrono::milliseconds m_stale{300000};
    std::thread m_renewer;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

} // namespace vt
