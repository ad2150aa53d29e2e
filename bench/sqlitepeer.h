#pragma once
// The peer a benchmark measures the program against: plain SQLite in the same
// process, on a copy of the same table file, set up as the program opens its
// own connection (journal mode, cache size and the folding collation with the
// text functions), so that a plain statement can do the work the program does.
#include "benchfigures.h"
#include "sqlitefunctions.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <sqlite3.h>

class PeerConnection
{
public:
    explicit PeerConnection(const QString &path)
    {
        // Without SQLite's per-call mutex, as the program's own connections: one thread uses it.
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK ||
            !vt::RegisterTextFunctions(m_db)) {
            m_error = QStringLiteral("cannot open %1").arg(path);
            return;
        }
        exec("PRAGMA journal_mode=DELETE; PRAGMA cache_size=-16384;");
    }
    ~PeerConnection() { sqlite3_close_v2(m_db); }
    PeerConnection(const PeerConnection &) = delete;
    PeerConnection &operator=(const PeerConnection &) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Runs the statements; false (and error) when one fails.
    bool exec(const char *sql)
    {
        char *message = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
            return true;
        m_error = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db)) + QStringLiteral(" in: ") +
                  QString::fromUtf8(sql);
        sqlite3_free(message);
        return false;
    }
    // The first column of the first row of a query; -1 when it fails.
    qint64 value(const char *sql)
    {
        sqlite3_stmt *s = nullptr;
        qint64 v = -1;
        if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            v = sqlite3_column_int64(s, 0);
        else
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(s);
        return v;
    }
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
    QString m_error;
};

// The program's time over the peer's, as "name: ratio".
inline void PrintRatio(const char *name, double ours, double peer)
{
    std::printf("%s: %.2f\n", name, peer > 0 ? ours / peer : 0.0);
    std::fflush(stdout);
}
