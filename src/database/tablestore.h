#pragma once
// The connection to one table file: opening it and reading its schema, the
// cache of prepared statements, the last error in the user's words, and
// transactions that nest.
#include "filter.h"
#include "tableschema.h"

#include <QHash>
#include <QString>

#include <functional>
#include <thread>

struct sqlite3;
struct sqlite3_stmt;

namespace vt {

class AddressTable;
class Stmt;

class TableStore
{
public:
    TableStore() = default;
    ~TableStore();
    TableStore(const TableStore &) = delete;
    TableStore &operator=(const TableStore &) = delete;

    // Opens the file and reads its schema; false (nothing open) when the file
    // is missing or not a table of this program.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *handle() const { return m_db; }
    const TableSchema &schema() const { return m_schema; }

    QString lastError() const { return m_error; }
    // Sets the error; always false.
    bool fail(const QString &message);
    // The error of SQLite's last failure, worded for the user; always false.
    bool failSql(const QString &what);
    // False (and lastError) while no table is open, and on any thread but the
    // one that opened it.
    bool checkOpen();

    // A statement from the cache (prepared once per text); an invalid one
    // (and lastError) when it cannot be prepared.
    Stmt prepare(const QString &sql);
    // Statements without rows, not cached.
    bool exec(const QString &sql);
    // One cached statement without rows.
    bool run(const QString &sql);

    // Whether the filter can be applied to this table (lastError says why not),
    // and which fields it reads.
    bool checkFilter(const Filter &where, QList<int> *fields = nullptr);
    // The source, condition and order (of the index's fields, key last) of a
    // query that reads readFields of the records under the filter.
    bool compile(const Filter &where, const QString &indexName, TableSource *src, CompiledFilter *cf, QString *orderBy,
                 const QList<int> &readFields = {});

    // Inner transactions are savepoints: a part that fails can be undone alone.
    bool beginTransaction();
    bool commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return m_txDepth > 0; }
    // Called after the outermost transaction was rolled back.
    void onRolledBack(std::function<void()> handler) { m_rolledBack = std::move(handler); }

private:
    bool readSchema();

    sqlite3 *m_db = nullptr;
    std::thread::id m_owner; // the thread that opened the connection, the only one to use it
    QString m_error;
    QHash<QString, sqlite3_stmt *> m_statements;
    TableSchema m_schema;
    int m_txDepth = 0;
    std::function<void()> m_rolledBack;
};

// A transaction on a table; rolled back unless committed. Inside another one
// it is a savepoint, so that its part alone can be undone; one that joins the
// open transaction instead adds no savepoint (whose sub-journal copies every
// page the part touches once more) and leaves undoing a failure to the
// transaction it joined.
class TableTransaction
{
public:
    enum Mode { Nest, Join };
    explicit TableTransaction(AddressTable &table, Mode mode = Nest);
    explicit TableTransaction(TableStore &store, Mode mode = Nest)
        : m_store(store), m_joined(mode == Join && store.inTransaction()), m_open(m_joined || store.beginTransaction())
    {
    }
    ~TableTransaction()
    {
        if (m_open && !m_joined)
            m_store.rollbackTransaction();
    }
    bool isOpen() const { return m_open; }
    bool commit()
    {
        if (!m_open)
            return false;
        m_open = false;
        return m_joined || m_store.commitTransaction();
    }
    TableTransaction(const TableTransaction &) = delete;
    TableTransaction &operator=(const TableTransaction &) = delete;

private:
    TableStore &m_store;
    bool m_joined;
    bool m_open;
};

} // namespace vt
