#pragma once
// Only one copy of the program runs per user session. The marker is a lock file
// in the user's runtime folder (never in the program folder, which several
// workstations may share); a lock left behind by a process that no longer runs
// is taken over.
#include <QLockFile>
#include <QString>

namespace vt {

class SingleInstance
{
public:
    // The lock file; by default "vantrel.lock" in the user's runtime folder.
    explicit SingleInstance(const QString &lockPath = defaultLockPath());

    // True when the start may go on: the lock was taken, or it could not be
    // made for another reason than a running copy (which never blocks a start).
    // False only when another running copy holds it.
    bool acquire();
    // acquire(), and when another copy runs, the message of alreadyRunningText().
    bool acquireOrTell();
    // Lets a new copy start (a restart asked for by the error report).
    void release();

    static QString defaultLockPath();
    static QString alreadyRunningText();

private:
    QLockFile m_lock;
};

} // namespace vt
