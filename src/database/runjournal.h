#pragma once
// The journal of a send run, for as long as the object lives.
//
// Each sent record is committed at once and must survive the end of the
// process, but need not wait for the disk: with a write-ahead log and
// synchronous=NORMAL a commit is one write to the log, no sync. A power failure
// can cost the last commits (whose recipients would get the mail again), never
// the file. The connection holds the file exclusively meanwhile, so the log's
// index needs no shared memory, which a network drive could not give.
//
// Where no write-ahead log can be had (a transaction is open, the file system
// refuses it), everything stays as it was and every commit is synced. At the
// end the table is one file again that can be copied whenever it is closed.
#include <QPointer>
#include <QString>

namespace vt {

class AddressTable;

class RunJournal
{
public:
    explicit RunJournal(AddressTable &table);
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // Whether the run's journal is in use.
    bool isActive() const { return m_active; }

    // The journal mode of the table's connection ("delete", "wal"); empty while
    // it is closed.
    static QString journalMode(AddressTable &table);

private:
    QPointer<AddressTable> m_table;
    QString m_previousSynchronous;
    bool m_active = false;
};

} // namespace vt
