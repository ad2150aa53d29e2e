#include "tablestore.h"
#include "paths.h"
#include "sqlitefunctions.h"
#include "sqlstatement.h"

#include <QFile>

#include <utility>

namespace vt {

TableStore::~TableStore()
{
    close();
}

// ---------------------------------------------------------------------------
// Opening and closing

bool TableStore::open(const QString &path)
{
    close();
    m_error.clear();
    if (!IsFile(path))
        return fail(QStringLiteral("Die Tabelle \"%1\" existiert nicht.").arg(path));
    // Never creates a file: the table was made by create().
    const int rc = openConnection(path, SQLITE_OPEN_READWRITE, &m_db);
    m_owner = std::this_thread::get_id();
    bool ok = rc == SQLITE_OK;
    if (ok) {
        // A second workstation may hold the file for a moment.
        sqlite3_busy_timeout(m_db, 5000);
        sqlite3_extended_result_codes(m_db, 1);
        ok = RegisterTextFunctions(m_db) || fail(QStringLiteral("Die Textfunktionen fehlen"));
        ok = ok && exec(QStringLiteral("PRAGMA journal_mode=DELETE")) &&
             exec(QStringLiteral("PRAGMA cache_size=-16384")) && readSchema();
    } else {
        fail(QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc)));
    }
    if (!ok) {
        const QString e = m_error;
        close();
        return fail(QStringLiteral("Die Tabelle \"%1\" kann nicht geöffnet werden: %2").arg(path, e));
    }
    return true;
}

void TableStore::close()
{
    for (sqlite3_stmt *s : std::as_const(m_statements))
        sqlite3_finalize(s);
    m_statements.clear();
    m_txDepth = 0;
    // A statement still in use is finalized by its Stmt; the connection goes with it.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_schema.clear();
}

bool TableStore::readSchema()
{
    const QString notOurs = QStringLiteral("die Datei ist keine Adresstabelle dieses Programms");
    {
        Stmt s = prepare(QStringLiteral("PRAGMA user_version"));
        if (!s || s.step() != SQLITE_ROW || sqlite3_column_int(s.get(), 0) != TableSchema::kFormatVersion)
            return fail(notOurs);
    }
    QList<FieldDef> fields;
    {
        Stmt s = prepare(QStringLiteral("SELECT name, type, size, required FROM \"address_fields\" ORDER BY pos"));
        if (!s)
            return fail(notOurs);
        while (s.step() == SQLITE_ROW) {
            FieldDef f;
            f.name = s.valueAt(0).toString();
            const auto t = FieldTypeFromName(s.valueAt(1).toString());
            if (!t)
                return fail(notOurs);
            f.type = *t;
            f.size = sqlite3_column_int(s.get(), 2);
            f.required = sqlite3_column_int(s.get(), 3) != 0;
            fields.append(f);
        }
    }
    QList<IndexDef> indexes;
    {
        Stmt s = prepare(QStringLiteral("SELECT name, fields, primary_key FROM \"address_indexes\" ORDER BY pos"));
        if (!s)
            return fail(notOurs);
        while (s.step() == SQLITE_ROW) {
            IndexDef x;
            x.name = s.valueAt(0).toString();
            x.fields = s.valueAt(1).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
            x.primary = sqlite3_column_int(s.get(), 2) != 0;
            indexes.append(x);
        }
    }
    if (fields.isEmpty())
        return fail(notOurs);
    m_schema.setDefinitions(std::move(fields), std::move(indexes));
    return true;
}

// ---------------------------------------------------------------------------
// Errors

bool TableStore::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool TableStore::checkOpen()
{
    if (!m_db)
        return fail(QStringLiteral("Die Tabelle ist nicht geöffnet."));
    // The connection has no mutex of its own (openConnection): a second thread
    // must never reach it, and so it is refused before it does.
    if (std::this_thread::get_id() != m_owner)
        return fail(QStringLiteral("Die Tabelle wird von einem anderen Programmteil benutzt."));
    return true;
}

bool TableStore::failSql(const QString &what)
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) : 0;
    const QString detail = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    if ((code & 0xFF) == SQLITE_CONSTRAINT)
        return fail(QStringLiteral("Schlüsselverletzung: ein anderer Datensatz hat denselben Wert (%1).").arg(detail));
    if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED)
        return fail(QStringLiteral("Die Tabelle ist durch einen anderen Benutzer gesperrt (%1).").arg(what));
    return fail(QStringLiteral("%1: %2").arg(what, detail));
}

// ---------------------------------------------------------------------------
// Statements

Stmt TableStore::prepare(const QString &sql)
{
    if (!checkOpen())
        return {};
    sqlite3_stmt *cached = m_statements.value(sql);
    if (cached && !sqlite3_stmt_busy(cached)) {
        sqlite3_reset(cached);
        sqlite3_clear_bindings(cached);
        return Stmt(cached, false);
    }
    // Filters of a long session fill the cache: drop what is not being stepped now.
    if (m_statements.size() > 200) {
        for (auto it = m_statements.begin(); it != m_statements.end();) {
            if (sqlite3_stmt_busy(it.value())) {
                ++it;
                continue;
            }
            sqlite3_finalize(it.value());
            it = m_statements.erase(it);
        }
    }
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.toUtf8().constData(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
        failSql(QStringLiteral("Datenbankfehler"));
        sqlite3_finalize(s);
        return {};
    }
    if (cached)
        return Stmt(s, true);
    m_statements.insert(sql, s);
    return Stmt(s, false);
}

bool TableStore::exec(const QString &sql)
{
    QString e;
    if (!checkOpen())
        return false;
    if (execOn(m_db, sql, &e))
        return true;
    return failSql(QStringLiteral("Datenbankfehler"));
}

bool TableStore::run(const QString &sql)
{
    Stmt s = prepare(sql);
    return s && (s.step() == SQLITE_DONE || failSql(QStringLiteral("Datenbankfehler")));
}

// ---------------------------------------------------------------------------
// Building queries

bool TableStore::checkFilter(const Filter &where, QList<int> *fields)
{
    if (!checkOpen())
        return false;
    // Whether it compiles does not depend on the columns it is compiled for.
    const CompiledFilter probe = CompileFilter(where, m_schema.fields(), [](int) { return QStringLiteral("x"); });
    if (!probe.ok())
        return fail(probe.error);
    if (fields)
        *fields = probe.fields;
    return true;
}

bool TableStore::compile(const Filter &where, const QString &indexName, TableSource *src, CompiledFilter *cf,
                         QString *orderBy, const QList<int> &readFields)
{
    // First only to learn which fields the filter reads, then for real.
    QList<int> filterFields;
    if (!checkFilter(where, &filterFields))
        return false;
    const QList<int> order = m_schema.orderFields(indexName);
    *src = m_schema.sourceFor(filterFields + order + readFields);
    *cf = CompileFilter(where, m_schema.fields(), [this, src](int i) { return m_schema.columnRef(i, *src); });
    cf->fields += order;
    if (orderBy) {
        QStringList parts;
        for (int f : order)
            parts.append(m_schema.columnRef(f, *src));
        parts.append(src->key);
        *orderBy = parts.join(QStringLiteral(", "));
    }
    return true;
}

// ---------------------------------------------------------------------------
// Transactions

bool TableStore::beginTransaction()
{
    if (!checkOpen())
        return false;
    if (!run(m_txDepth == 0 ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("SAVEPOINT vt_%1").arg(m_txDepth)))
        return false;
    ++m_txDepth;
    return true;
}

bool TableStore::commitTransaction()
{
    if (m_txDepth == 0)
        return false;
    if (--m_txDepth > 0)
        return run(QStringLiteral("RELEASE vt_%1").arg(m_txDepth));
    if (run(QStringLiteral("COMMIT")))
        return true;
    const QString e = m_error;
    m_txDepth = 1;
    rollbackTransaction();
    m_error = e;
    return false;
}

void TableStore::rollbackTransaction()
{
    if (m_txDepth == 0)
        return;
    const QString e = m_error;
    if (--m_txDepth > 0) {
        // Nothing of an inner part is announced before it is committed.
        run(QStringLiteral("ROLLBACK TO vt_%1").arg(m_txDepth));
        run(QStringLiteral("RELEASE vt_%1").arg(m_txDepth));
        m_error = e;
        return;
    }
    run(QStringLiteral("ROLLBACK"));
    m_error = e;
    if (m_rolledBack)
        m_rolledBack();
}

} // namespace vt
