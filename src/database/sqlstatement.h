#pragma once
// The small pieces of SQLite's C interface that every part of the table engine
// shares: binding and reading values, quoting names, running a statement text,
// and Stmt, a statement in use. Only the engine's own sources include this.
#include <QList>
#include <QString>
#include <QVariant>

#include <sqlite3.h>
#include <utility>

namespace vt {

// A name as an SQL identifier, in double quotes.
QString quotedName(QString name);
// Whether a value is a blank (NULL in the file).
inline bool isBlankValue(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}
// Binds a stored value; a blank binds NULL.
void bindValue(sqlite3_stmt *s, int i, const QVariant &v);
// Column i of the current row as a stored value.
QVariant columnValue(sqlite3_stmt *s, int i);
// Runs statements that return no rows; false with SQLite's message in error.
bool execOn(sqlite3 *db, const QString &sql, QString *error);
// Opens a connection to a file (flags: SQLITE_OPEN_READONLY, READWRITE, CREATE).
// Every connection of the program is used by the thread that opened it alone
// (TableStore refuses any other), so it goes without SQLite's mutex, which
// would otherwise be taken and released for every call, down to each value read.
// *db must be closed by the caller, also when the result is not SQLITE_OK.
int openConnection(const QString &path, int flags, sqlite3 **db);

// A statement in use. One from the cache is reset when it goes out of use, so
// that no read stays open on the file; one made for a nested use of the same
// text (the cached one is still being stepped) is finalized.
class Stmt
{
public:
    Stmt() = default;
    Stmt(sqlite3_stmt *s, bool owned) : m_s(s), m_owned(owned) {}
    Stmt(Stmt &&o) noexcept : m_s(std::exchange(o.m_s, nullptr)), m_owned(o.m_owned) {}
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    ~Stmt()
    {
        if (m_s && m_owned)
            sqlite3_finalize(m_s);
        else if (m_s)
            sqlite3_reset(m_s);
    }
    explicit operator bool() const { return m_s != nullptr; }
    sqlite3_stmt *get() const { return m_s; }
    void bind(int i, const QVariant &v) { bindValue(m_s, i, v); }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_s, i, v); }
    void bindAll(const QList<QVariant> &values, int from = 1)
    {
        for (int k = 0; k < values.size(); ++k)
            bindValue(m_s, from + k, values.at(k));
    }
    int step() { return sqlite3_step(m_s); }
    qint64 int64At(int i) const { return sqlite3_column_int64(m_s, i); }
    QVariant valueAt(int i) const { return columnValue(m_s, i); }

private:
    sqlite3_stmt *m_s = nullptr;
    bool m_owned = false;
};

} // namespace vt
