#include "runjournal.h"
#include "addresstable.h"
#include "sqlstatement.h"

namespace vt {

namespace {

// Runs a statement of the connection's settings; value gets its first column
// when it returns a row.
bool setting(TableStore &store, const QString &sql, QVariant *value = nullptr)
{
    Stmt s = store.prepare(sql);
    if (!s)
        return false;
    const int rc = s.step();
    if (rc == SQLITE_ROW && value)
        *value = s.valueAt(0);
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

} // namespace

RunJournal::RunJournal(AddressTable &table) : m_table(&table)
{
    TableStore &store = table.m_store;
    if (!store.isOpen())
        return;
    QVariant synchronous;
    if (setting(store, QStringLiteral("PRAGMA synchronous"), &synchronous))
        m_previousSynchronous = synchronous.toString();
    if (!setting(store, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")))
        return;
    QVariant mode;
    if (setting(store, QStringLiteral("PRAGMA journal_mode=WAL"), &mode) &&
        mode.toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
        setting(store, QStringLiteral("PRAGMA synchronous=NORMAL"));
        m_active = true;
        return;
    }
    setting(store, QStringLiteral("PRAGMA locking_mode=NORMAL"));
}

RunJournal::~RunJournal()
{
    if (!m_active || !m_table || !m_table->isOpen())
        return;
    TableStore &store = m_table->m_store;
    setting(store, QStringLiteral("PRAGMA journal_mode=DELETE"));
    setting(store, QStringLiteral("PRAGMA locking_mode=NORMAL"));
    if (!m_previousSynchronous.isEmpty())
        setting(store, QStringLiteral("PRAGMA synchronous=") + QString::number(m_previousSynchronous.toInt()));
    // The exclusive lock goes with the next access.
    setting(store, QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

QString RunJournal::journalMode(AddressTable &table)
{
    QVariant mode;
    if (!table.isOpen() || !setting(table.m_store, QStringLiteral("PRAGMA journal_mode"), &mode))
        return {};
    return mode.toString();
}

} // namespace vt
