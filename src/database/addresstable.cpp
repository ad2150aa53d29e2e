#include "addresstable.h"
#include "paths.h"
#include "sqlitefunctions.h"
#include "text.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>

#include <algorithm>
#include <sqlite3.h>
#include <utility>

namespace vt {

namespace {

constexpr int kFormatVersion = 1;
const QString kMain = QStringLiteral("\"address\"");
const QString kFlags = QStringLiteral("\"address_flags\"");
const QString kFlagKey = QStringLiteral("\"vt_rid\"");

QString quoted(QString name)
{
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

bool isBlank(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

void bindValue(sqlite3_stmt *s, int i, const QVariant &v)
{
    if (isBlank(v)) {
        sqlite3_bind_null(s, i);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: sqlite3_bind_int64(s, i, v.toLongLong()); return;
    case QMetaType::Double: sqlite3_bind_double(s, i, v.toDouble()); return;
    default: {
        const QByteArray u = v.toString().toUtf8();
        sqlite3_bind_text(s, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt *s, int i)
{
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER: return qint64(sqlite3_column_int64(s, i));
    case SQLITE_FLOAT: return sqlite3_column_double(s, i);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)), sqlite3_column_bytes(s, i));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(s, i)), sqlite3_column_bytes(s, i));
    default: return {};
    }
}

bool execOn(sqlite3 *db, const QString &sql, QString *error)
{
    char *msg = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(msg ? msg : sqlite3_errmsg(db));
    sqlite3_free(msg);
    return false;
}

int connectionCounter = 0;

} // namespace

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
    void bindAll(const QList<QVariant> &values, int from = 1)
    {
        for (int k = 0; k < values.size(); ++k)
            bindValue(m_s, from + k, values.at(k));
    }
    int step() { return sqlite3_step(m_s); }

private:
    sqlite3_stmt *m_s = nullptr;
    bool m_owned = false;
};

AddressTable::AddressTable(QObject *parent) : QObject(parent)
{
}

AddressTable::~AddressTable()
{
    // No signals to receivers that may be half destroyed already.
    blockSignals(true);
    close();
}

// ---------------------------------------------------------------------------
// Creating a table file

bool AddressTable::create(const QString &path, const QList<FieldDef> &fields, const QList<IndexDef> &indexes,
                          QString *error)
{
    auto failWith = [error](const QString &m) {
        if (error)
            *error = m;
        return false;
    };
    if (fields.isEmpty())
        return failWith(QStringLiteral("Die Tabelle hat keine Felder."));
    int autoInc = -1;
    for (int i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields.at(i);
        if (Trimmed(f.name).isEmpty())
            return failWith(QStringLiteral("Das Feld in Zeile %1 hat keinen Namen.").arg(i + 1));
        for (const char *reserved : {"rowid", "oid", "_rowid_", "vt_rid"})
            if (EqualsNoCase(f.name, QLatin1String(reserved)))
                return failWith(QStringLiteral("Der Feldname \"%1\" ist nicht erlaubt.").arg(f.name));
        if (FindField(fields, f.name) != i)
            return failWith(QStringLiteral("Das Feld \"%1\" ist doppelt definiert.").arg(f.name));
        if (f.type == FieldType::String && (f.size < 1 || f.size > 255))
            return failWith(QStringLiteral("Das Feld \"%1\" hat eine ungültige Größe (%2).").arg(f.name).arg(f.size));
        if (f.type == FieldType::AutoInc) {
            if (autoInc >= 0)
                return failWith(QStringLiteral("Die Tabelle darf nur ein Zählerfeld (ftAutoInc) haben."));
            autoInc = i;
        }
    }
    QList<QList<int>> indexFields;
    bool havePrimary = false;
    for (int i = 0; i < indexes.size(); ++i) {
        const IndexDef &x = indexes.at(i);
        for (int k = 0; k < i; ++k)
            if (EqualsNoCase(indexes.at(k).name, x.name))
                return failWith(QStringLiteral("Der Index \"%1\" ist doppelt definiert.").arg(x.name));
        if (x.primary && havePrimary)
            return failWith(QStringLiteral("Die Tabelle darf nur einen Primärindex haben."));
        havePrimary = havePrimary || x.primary;
        if (x.fields.isEmpty())
            return failWith(QStringLiteral("Der Index \"%1\" hat keine Felder.").arg(x.name));
        QList<int> fi;
        for (const QString &name : x.fields) {
            const int k = FindField(fields, name);
            if (k < 0)
                return failWith(
                    QStringLiteral("Der Index \"%1\" verweist auf das unbekannte Feld \"%2\".").arg(x.name, name));
            fi.append(k);
        }
        indexFields.append(fi);
    }

    // Built under a temporary name, so that a failure leaves no half table and an
    // existing file is replaced only by a complete one.
    const QString temp = path + QStringLiteral(".creating");
    QFile::remove(temp);
    sqlite3 *db = nullptr;
    QString err;
    bool ok = sqlite3_open_v2(QFile::encodeName(temp).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK;
    if (!ok)
        err = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    ok = ok && RegisterTextFunctions(db);
    auto run = [&](const QString &sql) {
        if (ok && !execOn(db, sql, &err))
            ok = false;
    };
    run(QStringLiteral("PRAGMA journal_mode=DELETE"));
    run(QStringLiteral("BEGIN"));

    QStringList mainCols, flagCols;
    mainCols.append(autoInc >= 0
                        ? quoted(fields.at(autoInc).name) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT")
                        : kFlagKey + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT"));
    for (int i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields.at(i);
        switch (f.type) {
        case FieldType::AutoInc: break;
        case FieldType::Boolean: flagCols.append(quoted(f.name) + QStringLiteral(" INTEGER")); break;
        case FieldType::String:
        case FieldType::Memo: mainCols.append(quoted(f.name) + QStringLiteral(" TEXT COLLATE VTFOLD")); break;
        case FieldType::Integer: mainCols.append(quoted(f.name) + QStringLiteral(" INTEGER")); break;
        case FieldType::Float:
        case FieldType::Currency: mainCols.append(quoted(f.name) + QStringLiteral(" REAL")); break;
        case FieldType::Date:
        case FieldType::Time: mainCols.append(quoted(f.name) + QStringLiteral(" TEXT")); break;
        }
    }
    run(QStringLiteral("CREATE TABLE %1 (%2)").arg(kMain, mainCols.join(QStringLiteral(", "))));
    if (!flagCols.isEmpty())
        run(QStringLiteral("CREATE TABLE %1 (%2 INTEGER PRIMARY KEY, %3)")
                .arg(kFlags, kFlagKey, flagCols.join(QStringLiteral(", "))));
    run(QStringLiteral("CREATE TABLE \"address_fields\" (pos INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                       "type TEXT NOT NULL, size INTEGER NOT NULL, required INTEGER NOT NULL)"));
    run(QStringLiteral("CREATE TABLE \"address_indexes\" (pos INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                       "fields TEXT NOT NULL, primary_key INTEGER NOT NULL)"));
    auto insertRow = [&](const char *sql, const QList<QVariant> &values) {
        if (!ok)
            return;
        sqlite3_stmt *s = nullptr;
        ok = sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK;
        if (ok) {
            for (int k = 0; k < values.size(); ++k)
                bindValue(s, k + 1, values.at(k));
            ok = sqlite3_step(s) == SQLITE_DONE;
        }
        if (!ok)
            err = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(s);
    };
    for (int i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields.at(i);
        insertRow("INSERT INTO \"address_fields\" VALUES (?, ?, ?, ?, ?)",
                  {i, f.name, FieldTypeName(f.type), f.size, f.required ? 1 : 0});
    }
    for (int i = 0; i < indexes.size(); ++i) {
        const IndexDef &x = indexes.at(i);
        QStringList names;
        bool inMain = true, inFlags = true;
        for (int k : indexFields.at(i)) {
            names.append(fields.at(k).name);
            const bool isFlag = fields.at(k).type == FieldType::Boolean;
            inMain = inMain && !isFlag;
            inFlags = inFlags && isFlag;
        }
        insertRow("INSERT INTO \"address_indexes\" VALUES (?, ?, ?, ?)",
                  {i, x.name, names.join(QLatin1Char(';')), x.primary ? 1 : 0});
        // The primary index on the AutoInc field is the table's key already. An
        // index over fields of both parts exists only as an order.
        if (indexFields.at(i) == QList<int>{autoInc} || (!inMain && !inFlags))
            continue;
        QStringList cols;
        for (int k : indexFields.at(i))
            cols.append(quoted(fields.at(k).name));
        run(QStringLiteral("CREATE %1INDEX \"address_ix%2\" ON %3 (%4)")
                .arg(x.primary ? QStringLiteral("UNIQUE ") : QString())
                .arg(i)
                .arg(inMain ? kMain : kFlags, cols.join(QStringLiteral(", "))));
    }
    run(QStringLiteral("PRAGMA user_version=%1").arg(kFormatVersion));
    run(QStringLiteral("COMMIT"));
    sqlite3_close(db);
    if (ok) {
        QFile::remove(path);
        ok = QFile::rename(temp, path);
        if (!ok)
            err = QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden.").arg(path);
    }
    if (!ok) {
        QFile::remove(temp);
        return failWith(err);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Opening and closing

bool AddressTable::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool AddressTable::checkOpen()
{
    return m_db || fail(QStringLiteral("Die Tabelle ist nicht geöffnet."));
}

bool AddressTable::failSql(const QString &what)
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) : 0;
    const QString detail = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    if ((code & 0xFF) == SQLITE_CONSTRAINT)
        return fail(QStringLiteral("Schlüsselverletzung: ein anderer Datensatz hat denselben Wert (%1).").arg(detail));
    if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED)
        return fail(QStringLiteral("Die Tabelle ist durch einen anderen Benutzer gesperrt (%1).").arg(what));
    return fail(QStringLiteral("%1: %2").arg(what, detail));
}

bool AddressTable::open(const QString &path)
{
    close();
    m_error.clear();
    if (!IsFile(path))
        return fail(QStringLiteral("Die Tabelle \"%1\" existiert nicht.").arg(path));
    m_connection = QStringLiteral("vt_table_%1").arg(++connectionCounter);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const QString e = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            m_connection.clear();
            return fail(QStringLiteral("Die Tabelle \"%1\" kann nicht geöffnet werden: %2").arg(path, e));
        }
        const QVariant h = db.driver()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            m_db = *static_cast<sqlite3 *const *>(h.constData());
    }
    m_path = path;
    const bool ok = m_db && RegisterTextFunctions(m_db) && exec(QStringLiteral("PRAGMA journal_mode=DELETE")) &&
                    exec(QStringLiteral("PRAGMA cache_size=-16384")) && readSchema();
    if (!ok) {
        const QString e = m_error;
        close();
        return fail(QStringLiteral("Die Tabelle \"%1\" kann nicht geöffnet werden: %2").arg(path, e));
    }
    m_state = State::Browse;
    m_indexName.clear();
    m_filtered = false;
    m_useBuiltFilter = false;
    invalidateRows();
    ensureRows();
    m_row = m_ids.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_ids.empty();
    emit stateChanged(m_state);
    emit afterOpen();
    emit rowsReset();
    return true;
}

void AddressTable::close()
{
    if (m_connection.isEmpty())
        return;
    const bool wasOpen = m_state != State::Inactive;
    for (sqlite3_stmt *s : std::as_const(m_statements))
        sqlite3_finalize(s);
    m_statements.clear();
    m_txDepth = 0;
    m_db = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
    m_fields.clear();
    m_indexes.clear();
    m_insertMainSql.clear();
    m_insertFlagsSql.clear();
    m_readSql.clear();
    m_pageSql.clear();
    m_ids.clear();
    m_rowsValid = false;
    m_pages.clear();
    m_pageLru.clear();
    m_buffer.clear();
    m_modified.clear();
    m_row = -1;
    m_bof = m_eof = true;
    m_state = State::Inactive;
    if (wasOpen) {
        emit stateChanged(m_state);
        emit afterClose();
        emit rowsReset();
    }
}

QSqlDatabase AddressTable::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

Stmt AddressTable::prepare(const QString &sql)
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

bool AddressTable::exec(const QString &sql)
{
    QString e;
    if (!checkOpen())
        return false;
    if (execOn(m_db, sql, &e))
        return true;
    return failSql(QStringLiteral("Datenbankfehler"));
}

bool AddressTable::readSchema()
{
    const QString notOurs = QStringLiteral("die Datei ist keine Adresstabelle dieses Programms");
    {
        Stmt s = prepare(QStringLiteral("PRAGMA user_version"));
        if (!s || s.step() != SQLITE_ROW || sqlite3_column_int(s.get(), 0) != kFormatVersion)
            return fail(notOurs);
    }
    {
        Stmt s = prepare(QStringLiteral("SELECT name, type, size, required FROM \"address_fields\" ORDER BY pos"));
        if (!s)
            return fail(notOurs);
        while (s.step() == SQLITE_ROW) {
            FieldDef f;
            f.name = columnValue(s.get(), 0).toString();
            const auto t = FieldTypeFromName(columnValue(s.get(), 1).toString());
            if (!t)
                return fail(notOurs);
            f.type = *t;
            f.size = sqlite3_column_int(s.get(), 2);
            f.required = sqlite3_column_int(s.get(), 3) != 0;
            m_fields.append(f);
        }
    }
    {
        Stmt s = prepare(QStringLiteral("SELECT name, fields, primary_key FROM \"address_indexes\" ORDER BY pos"));
        if (!s)
            return fail(notOurs);
        while (s.step() == SQLITE_ROW) {
            IndexDef x;
            x.name = columnValue(s.get(), 0).toString();
            x.fields = columnValue(s.get(), 1).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
            x.primary = sqlite3_column_int(s.get(), 2) != 0;
            m_indexes.append(x);
        }
    }
    if (m_fields.isEmpty())
        return fail(notOurs);
    m_keyField = -1;
    m_hasFlags = false;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).type == FieldType::AutoInc)
            m_keyField = i;
        if (m_fields.at(i).type == FieldType::Boolean)
            m_hasFlags = true;
    }
    m_keyColumn = m_keyField >= 0 ? quoted(m_fields.at(m_keyField).name) : kFlagKey;

    // Every insert names every column, every read of records every field.
    const Source full = wholeRecords();
    QStringList cols, mainCols, flagCols{kFlagKey};
    for (int i = 0; i < m_fields.size(); ++i) {
        cols.append(columnRef(i, full));
        if (i != m_keyField)
            (m_fields.at(i).type == FieldType::Boolean ? flagCols : mainCols).append(quoted(m_fields.at(i).name));
    }
    auto marks = [](qsizetype n) {
        QStringList out;
        for (qsizetype k = 0; k < n; ++k)
            out.append(QStringLiteral("?"));
        return out;
    };
    m_insertMainSql = mainCols.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(kMain)
                                         : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                               .arg(kMain, mainCols.join(QStringLiteral(", ")),
                                                    marks(mainCols.size()).join(QStringLiteral(", ")));
    m_insertFlagsSql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(kFlags, flagCols.join(QStringLiteral(", ")), marks(flagCols.size()).join(QStringLiteral(", ")));
    m_readSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(cols.join(QStringLiteral(", ")), full.from, full.key);
    m_pageSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                    .arg((QStringList{full.key} + cols).join(QStringLiteral(", ")), full.from, full.key,
                         marks(kPageRows).join(QLatin1Char(',')));
    return true;
}

// ---------------------------------------------------------------------------
// Building queries

QString AddressTable::columnRef(int field, const Source &s) const
{
    if (field == m_keyField)
        return s.key;
    if (m_fields.at(field).type == FieldType::Boolean)
        return QStringLiteral("f.") + quoted(m_fields.at(field).name);
    return QStringLiteral("a.") + quoted(m_fields.at(field).name);
}

AddressTable::Source AddressTable::sourceFor(const QList<int> &fields) const
{
    Source s;
    bool main = false, flags = false;
    for (int f : fields) {
        if (f == m_keyField)
            continue;
        if (m_fields.at(f).type == FieldType::Boolean)
            flags = true;
        else
            main = true;
    }
    // Without a field of the main part the narrow flag part is enough, and much
    // faster to walk (listing or counting every ID).
    if (m_hasFlags && !main) {
        s.main = false;
        s.flags = true;
        s.from = kFlags + QStringLiteral(" f");
        s.key = QStringLiteral("f.") + kFlagKey;
        return s;
    }
    s.main = true;
    s.flags = flags;
    s.key = QStringLiteral("a.") + m_keyColumn;
    s.from = kMain + QStringLiteral(" a");
    if (flags)
        s.from += QStringLiteral(" JOIN %1 f ON f.%2 = %3").arg(kFlags, kFlagKey, s.key);
    return s;
}

AddressTable::Source AddressTable::wholeRecords() const
{
    Source s;
    s.key = QStringLiteral("a.") + m_keyColumn;
    s.from = kMain + QStringLiteral(" a");
    s.flags = m_hasFlags;
    if (m_hasFlags)
        s.from += QStringLiteral(" LEFT JOIN %1 f ON f.%2 = %3").arg(kFlags, kFlagKey, s.key);
    return s;
}

QList<int> AddressTable::orderFields(const QString &indexName) const
{
    QList<int> out;
    if (indexName.isEmpty())
        return out;
    for (const IndexDef &x : m_indexes)
        if (EqualsNoCase(x.name, indexName)) {
            for (const QString &n : x.fields) {
                const int f = fieldIndex(n);
                if (f >= 0 && f != m_keyField)
                    out.append(f);
            }
            break;
        }
    return out;
}

bool AddressTable::compile(const Filter &where, const QString &indexName, Source *src, CompiledFilter *cf,
                           QString *orderBy, const QList<int> &readFields)
{
    // First only to learn which fields the filter reads, then for real.
    QList<int> filterFields;
    if (!checkFilter(where, &filterFields))
        return false;
    const QList<int> order = orderFields(indexName);
    *src = sourceFor(filterFields + order + readFields);
    *cf = CompileFilter(where, m_fields, [this, src](int i) { return columnRef(i, *src); });
    cf->fields += order;
    if (orderBy) {
        QStringList parts;
        for (int f : order)
            parts.append(columnRef(f, *src));
        parts.append(src->key);
        *orderBy = parts.join(QStringLiteral(", "));
    }
    return true;
}

bool AddressTable::checkFilter(const Filter &where, QList<int> *fields)
{
    if (!checkOpen())
        return false;
    // Whether it compiles does not depend on the columns it is compiled for.
    const CompiledFilter probe = CompileFilter(where, m_fields, [](int) { return QStringLiteral("x"); });
    if (!probe.ok())
        return fail(probe.error);
    if (fields)
        *fields = probe.fields;
    return true;
}

bool AddressTable::loadIds(const Filter &where, const QString &indexName, std::vector<qint64> *out, QList<int> *fields)
{
    Source src;
    CompiledFilter cf;
    QString orderBy;
    if (!compile(where, indexName, &src, &cf, &orderBy))
        return false;
    Stmt s =
        prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4").arg(src.key, src.from, cf.where, orderBy));
    if (!s)
        return false;
    s.bindAll(cf.params);
    out->clear();
    out->reserve(m_ids.capacity());
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        out->push_back(sqlite3_column_int64(s.get(), 0));
    if (rc != SQLITE_DONE)
        return failSql(QStringLiteral("Lesefehler"));
    if (fields)
        *fields = cf.fields;
    return true;
}

// ---------------------------------------------------------------------------
// Rows and pages

Filter AddressTable::activeFilter() const
{
    if (!m_filtered)
        return {};
    return m_useBuiltFilter ? m_builtFilter : Filter::parse(m_filterText);
}

bool AddressTable::ensureRows()
{
    if (m_rowsValid)
        return true;
    if (!m_db)
        return false;
    invalidatePages();
    std::vector<qint64> ids;
    const bool ok = loadIds(activeFilter(), m_indexName, &ids, &m_rowSetFields);
    m_ids.swap(ids);
    m_rowsValid = ok;
    return ok;
}

void AddressTable::invalidateRows()
{
    m_rowsValid = false;
    invalidatePages();
}

void AddressTable::invalidatePages()
{
    m_pages.clear();
    m_pageLru.clear();
}

qint64 AddressTable::heldRowOfId(qint64 id) const
{
    for (qint64 p : m_pageLru) {
        const qint64 end = std::min<qint64>((p + 1) * kPageRows, qint64(m_ids.size()));
        for (qint64 r = p * kPageRows; r < end; ++r)
            if (m_ids[size_t(r)] == id)
                return r;
    }
    return -1;
}

qint64 AddressTable::keptRow(qint64 id, qint64 fallback)
{
    const qint64 r = rowOfId(id);
    return r >= 0 ? r : std::min<qint64>(fallback, qint64(m_ids.size()) - 1);
}

int AddressTable::cachedRowCount() const
{
    return int(m_pages.size()) * kPageRows;
}

const AddressTable::Page *AddressTable::page(qint64 pageNo)
{
    auto it = m_pages.find(pageNo);
    if (it != m_pages.end()) {
        m_pageLru.removeOne(pageNo);
        m_pageLru.prepend(pageNo);
        return &it.value();
    }
    const qint64 begin = pageNo * kPageRows;
    const qint64 end = std::min<qint64>(begin + kPageRows, qint64(m_ids.size()));
    if (begin >= end)
        return nullptr;
    const int nf = fieldCount();
    Page p;
    p.values.resize(size_t(end - begin) * size_t(nf));
    Stmt s = prepare(m_pageSql);
    if (s) {
        QHash<qint64, qint64> rowOf;
        for (qint64 r = begin; r < end; ++r) {
            sqlite3_bind_int64(s.get(), int(r - begin + 1), m_ids[size_t(r)]);
            rowOf.insert(m_ids[size_t(r)], r - begin);
        }
        while (s.step() == SQLITE_ROW) {
            const qint64 r = rowOf.value(sqlite3_column_int64(s.get(), 0), -1);
            if (r < 0)
                continue;
            for (int i = 0; i < nf; ++i)
                p.values[size_t(r) * size_t(nf) + size_t(i)] = columnValue(s.get(), i + 1);
        }
    }
    ++m_pageFetches;
    while (m_pageLru.size() >= kMaxPages)
        m_pages.remove(m_pageLru.takeLast());
    m_pageLru.prepend(pageNo);
    return &m_pages.insert(pageNo, std::move(p)).value();
}

QVariant AddressTable::storedAt(qint64 row, int field)
{
    if (!ensureRows() || row < 0 || row >= qint64(m_ids.size()) || field < 0 || field >= fieldCount())
        return {};
    const Page *p = page(row / kPageRows);
    if (!p)
        return {};
    return p->values[size_t(row % kPageRows) * size_t(fieldCount()) + size_t(field)];
}

QVariant AddressTable::currentStored(int field)
{
    if (field < 0 || field >= fieldCount())
        return {};
    if (m_state == State::Edit || m_state == State::Insert)
        return m_buffer.value(field);
    return storedAt(m_row, field);
}

// ---------------------------------------------------------------------------
// Order and filter

bool AddressTable::setIndexName(const QString &name)
{
    if (!checkOpen())
        return false;
    if (!name.isEmpty() &&
        std::none_of(m_indexes.begin(), m_indexes.end(), [&](const IndexDef &x) { return EqualsNoCase(x.name, name); }))
        return fail(QStringLiteral("Den Index \"%1\" gibt es in der Tabelle nicht.").arg(name));
    if (!checkBrowse())
        return false;
    const qint64 id = currentId();
    m_indexName = name;
    invalidateRows();
    ensureRows();
    m_row = keptRow(id, 0);
    m_bof = m_row <= 0;
    m_eof = m_ids.empty();
    notifyRowsReset();
    return true;
}

bool AddressTable::refresh()
{
    if (!checkOpen())
        return false;
    if (!checkBrowse())
        return false;
    const qint64 id = currentId();
    const qint64 oldRow = m_row;
    invalidateRows();
    if (!ensureRows())
        return false;
    setRow(keptRow(id, oldRow));
    m_bof = m_row <= 0;
    m_eof = m_ids.empty();
    notifyRowsReset();
    return true;
}

bool AddressTable::loadRowsOf(const Filter &filter)
{
    // The rows are read before anything changes: a filter that compiles may
    // still be one SQLite cannot run (too many values, say), and then the table
    // stays as it was.
    if (!checkFilter(filter))
        return false;
    std::vector<qint64> ids;
    QList<int> fields;
    if (!loadIds(filter, m_indexName, &ids, &fields))
        return fail(QStringLiteral("Der Filter kann nicht angewendet werden. %1").arg(m_error));
    invalidatePages();
    m_ids.swap(ids);
    m_rowSetFields = fields;
    m_rowsValid = true;
    return true;
}

bool AddressTable::setFilterText(const QString &text)
{
    if (m_filtered && isOpen() && !loadRowsOf(Filter::parse(text)))
        return false;
    m_filterText = text;
    if (m_filtered) {
        m_useBuiltFilter = false;
        if (!isOpen())
            invalidateRows();
        first();
        notifyRowsReset();
    }
    return true;
}

bool AddressTable::setFiltered(bool on)
{
    if (on && !checkFilter(Filter::parse(m_filterText)))
        return false;
    if (!checkBrowse())
        return false;
    if (on == m_filtered && !m_useBuiltFilter)
        return true;
    if (isOpen() && !loadRowsOf(on ? Filter::parse(m_filterText) : Filter()))
        return false;
    m_filtered = on;
    m_useBuiltFilter = false;
    if (isOpen()) {
        first();
        notifyRowsReset();
    }
    return true;
}

bool AddressTable::setFilter(const Filter &filter)
{
    if (!checkFilter(filter) || !checkBrowse() || !loadRowsOf(filter))
        return false;
    m_builtFilter = filter;
    m_useBuiltFilter = true;
    m_filtered = true;
    first();
    notifyRowsReset();
    return true;
}

// ---------------------------------------------------------------------------
// Cursor

qint64 AddressTable::recordCount()
{
    return ensureRows() ? qint64(m_ids.size()) : 0;
}

bool AddressTable::checkBrowse()
{
    if (m_state == State::Edit || m_state == State::Insert)
        return post();
    return true;
}

void AddressTable::setRow(qint64 row)
{
    const bool changed = row != m_row;
    m_row = row;
    if (changed && !m_controlsOff)
        emit currentRowChanged(row);
}

bool AddressTable::first()
{
    if (!checkBrowse() || !ensureRows())
        return false;
    setRow(m_ids.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_ids.empty();
    return m_row >= 0;
}

bool AddressTable::last()
{
    if (!checkBrowse() || !ensureRows())
        return false;
    setRow(qint64(m_ids.size()) - 1);
    m_bof = m_ids.empty();
    m_eof = true;
    return m_row >= 0;
}

bool AddressTable::next()
{
    if (!checkBrowse() || !ensureRows())
        return false;
    if (m_row + 1 < qint64(m_ids.size())) {
        setRow(m_row + 1);
        m_bof = m_eof = false;
        return true;
    }
    m_eof = true;
    return false;
}

bool AddressTable::prior()
{
    if (!checkBrowse() || !ensureRows())
        return false;
    if (m_row > 0) {
        setRow(m_row - 1);
        m_bof = m_eof = false;
        return true;
    }
    m_bof = true;
    return false;
}

bool AddressTable::moveTo(qint64 row)
{
    if (!checkBrowse() || !ensureRows() || row < 0 || row >= qint64(m_ids.size()))
        return false;
    setRow(row);
    m_bof = m_eof = false;
    return true;
}

qint64 AddressTable::currentId()
{
    return m_state == State::Insert ? -1 : idAt(m_row);
}

qint64 AddressTable::idAt(qint64 row)
{
    if (!ensureRows() || row < 0 || row >= qint64(m_ids.size()))
        return -1;
    return m_ids[size_t(row)];
}

qint64 AddressTable::rowOfId(qint64 id)
{
    if (!ensureRows())
        return -1;
    if (m_indexName.isEmpty()) {
        // The primary order is ascending IDs.
        const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
        return (it != m_ids.end() && *it == id) ? qint64(it - m_ids.begin()) : -1;
    }
    const auto it = std::find(m_ids.begin(), m_ids.end(), id);
    return it != m_ids.end() ? qint64(it - m_ids.begin()) : -1;
}

bool AddressTable::gotoId(qint64 id)
{
    if (!checkBrowse())
        return false;
    const qint64 r = rowOfId(id);
    if (r < 0)
        return fail(QStringLiteral("Der Datensatz %1 ist nicht vorhanden.").arg(id));
    setRow(r);
    m_bof = m_eof = false;
    return true;
}

// ---------------------------------------------------------------------------
// Values

QVariant AddressTable::naturalOf(int field, const QVariant &stored) const
{
    return field >= 0 && field < fieldCount() ? StoredToNatural(m_fields.at(field), stored) : QVariant();
}

QStringList AddressTable::fieldNames() const
{
    QStringList names;
    names.reserve(m_fields.size());
    for (const FieldDef &f : m_fields)
        names.append(f.name);
    return names;
}

QString AddressTable::textOf(int field, const QVariant &stored) const
{
    return field >= 0 && field < fieldCount() ? StoredToText(m_fields.at(field), stored) : QString();
}

QVariant AddressTable::value(int field)
{
    return naturalOf(field, currentStored(field));
}

QVariant AddressTable::value(const QString &name)
{
    return value(fieldIndex(name));
}

QString AddressTable::text(int field)
{
    return textOf(field, currentStored(field));
}

QString AddressTable::text(const QString &name)
{
    return text(fieldIndex(name));
}

bool AddressTable::isBlank(int field)
{
    return vt::isBlank(currentStored(field));
}

QVariant AddressTable::valueAt(qint64 row, int field)
{
    return naturalOf(field, storedAt(row, field));
}

QString AddressTable::textAt(qint64 row, int field)
{
    return textOf(field, storedAt(row, field));
}

// ---------------------------------------------------------------------------
// Editing

void AddressTable::setState(State s)
{
    if (s == m_state)
        return;
    m_state = s;
    emit stateChanged(s);
}

bool AddressTable::edit()
{
    if (m_state == State::Edit || m_state == State::Insert)
        return true;
    if (!checkOpen())
        return false;
    if (m_row < 0)
        return fail(QStringLiteral("Es ist kein Datensatz zum Bearbeiten vorhanden."));
    m_buffer.clear();
    for (int i = 0; i < fieldCount(); ++i)
        m_buffer.append(storedAt(m_row, i));
    m_modified = QList<bool>(fieldCount(), false);
    setState(State::Edit);
    return true;
}

bool AddressTable::append()
{
    if (!checkOpen())
        return false;
    if (!checkBrowse())
        return false;
    m_buffer = QList<QVariant>(fieldCount());
    m_modified = QList<bool>(fieldCount(), false);
    setState(State::Insert);
    return true;
}

bool AddressTable::setValue(int field, const QVariant &value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        return fail(QStringLiteral("Der Datensatz wird nicht bearbeitet."));
    if (field < 0 || field >= fieldCount())
        return fail(QStringLiteral("Das Feld gibt es in der Tabelle nicht."));
    if (field == m_keyField)
        return fail(QStringLiteral("Das Feld \"%1\" vergibt die Tabelle selbst.").arg(m_fields.at(field).name));
    QVariant stored;
    QString err;
    if (!NaturalToStored(m_fields.at(field), value, &stored, &err))
        return fail(err);
    m_buffer[field] = stored;
    m_modified[field] = true;
    return true;
}

bool AddressTable::setValue(const QString &name, const QVariant &value)
{
    const int f = fieldIndex(name);
    if (f < 0)
        return fail(QStringLiteral("Das Feld \"%1\" gibt es in der Tabelle nicht.").arg(name));
    return setValue(f, value);
}

int AddressTable::writableField(const QString &name, const QVariant &value, QVariant *stored)
{
    const int f = fieldIndex(name);
    QString err;
    if (f < 0)
        err = QStringLiteral("Das Feld \"%1\" gibt es in der Tabelle nicht.").arg(name);
    else if (f == m_keyField)
        err = QStringLiteral("Das Feld \"%1\" vergibt die Tabelle selbst.").arg(name);
    else if (NaturalToStored(m_fields.at(f), value, stored, &err))
        return f;
    fail(err);
    return -1;
}

bool AddressTable::checkRecord(qint64 id, const QList<QVariant> &stored, const QList<bool> &changed)
{
    for (int i = 0; i < fieldCount(); ++i)
        if (i != m_keyField && m_fields.at(i).required && vt::isBlank(stored.value(i)))
            return fail(QStringLiteral("Feld \"%1\" muss einen Wert haben.").arg(m_fields.at(i).name));
    for (const IndexDef &x : std::as_const(m_indexes)) {
        if (!x.primary)
            continue;
        QList<int> fs;
        bool touched = id < 0;
        for (const QString &n : x.fields) {
            const int f = fieldIndex(n);
            if (f < 0)
                continue;
            fs.append(f);
            touched = touched || changed.value(f);
        }
        if (!touched || fs.isEmpty() || fs == QList<int>{m_keyField})
            continue;
        const Source src = sourceFor(fs);
        QStringList conds, shown;
        for (int f : fs) {
            conds.append(columnRef(f, src) + QStringLiteral(" IS ?"));
            shown.append(StoredToText(m_fields.at(f), stored.value(f)));
        }
        Stmt s = prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 AND %3 <> ? LIMIT 1")
                             .arg(src.from, conds.join(QStringLiteral(" AND ")), src.key));
        if (!s)
            return false;
        int k = 1;
        for (int f : fs)
            s.bind(k++, stored.value(f));
        sqlite3_bind_int64(s.get(), k, id);
        const int rc = s.step();
        if (rc == SQLITE_ROW)
            return fail(QStringLiteral("Schlüsselverletzung: \"%1\" ist im Index \"%2\" bereits vorhanden.")
                            .arg(shown.join(QStringLiteral(", ")), x.name));
        if (rc != SQLITE_DONE)
            return failSql(QStringLiteral("Lesefehler"));
    }
    return true;
}

bool AddressTable::writeRecord(qint64 *id, const QList<QVariant> &stored, const QList<bool> &changed,
                               bool ownTransaction)
{
    const bool insert = *id < 0;
    QStringList mainSets, flagSets;
    QList<QVariant> mainValues, flagValues;
    for (int i = 0; i < fieldCount(); ++i) {
        if (i == m_keyField || (!insert && !changed.value(i)))
            continue;
        const bool flag = m_fields.at(i).type == FieldType::Boolean;
        (flag ? flagValues : mainValues).append(stored.value(i));
        // An insert names every column in the statement made at opening.
        if (!insert)
            (flag ? flagSets : mainSets).append(quoted(m_fields.at(i).name) + QStringLiteral(" = ?"));
    }
    // Appending many records runs inside the appender's transaction; a savepoint
    // per record would copy every page it touches into a sub-journal.
    std::optional<TableTransaction> tx;
    if (ownTransaction) {
        tx.emplace(*this);
        if (!tx->isOpen())
            return false;
    }
    auto run = [&](const QString &sql, const QList<QVariant> &values, qint64 key) {
        Stmt s = prepare(sql);
        if (!s)
            return false;
        s.bindAll(values);
        if (key >= 0)
            sqlite3_bind_int64(s.get(), int(values.size()) + 1, key);
        if (s.step() != SQLITE_DONE)
            return failSql(QStringLiteral("Schreibfehler"));
        if (!insert && sqlite3_changes(m_db) == 0)
            return fail(QStringLiteral("Der Datensatz ist nicht mehr vorhanden."));
        return true;
    };
    if (insert) {
        if (!run(m_insertMainSql, mainValues, -1))
            return false;
        *id = sqlite3_last_insert_rowid(m_db);
        if (m_hasFlags && !run(m_insertFlagsSql, QList<QVariant>{*id} + flagValues, -1))
            return false;
    } else {
        if (!mainSets.isEmpty() && !run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                            .arg(kMain, mainSets.join(QStringLiteral(", ")), m_keyColumn),
                                        mainValues, *id))
            return false;
        if (!flagSets.isEmpty() && !run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                            .arg(kFlags, flagSets.join(QStringLiteral(", ")), kFlagKey),
                                        flagValues, *id))
            return false;
    }
    return !tx || tx->commit() || failSql(QStringLiteral("Schreibfehler"));
}

bool AddressTable::touchesRowSet(const QList<bool> &changed) const
{
    for (int f : m_rowSetFields)
        if (changed.value(f))
            return true;
    return false;
}

bool AddressTable::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return true;
    const bool insert = m_state == State::Insert;
    if (!insert && !m_modified.contains(true)) {
        setState(State::Browse);
        return true;
    }
    qint64 id = insert ? -1 : idAt(m_row);
    if (!checkRecord(id, m_buffer, m_modified) || !writeRecord(&id, m_buffer, m_modified, true))
        return false;
    const bool reload = insert || touchesRowSet(m_modified);
    m_buffer.clear();
    m_modified.clear();
    setState(State::Browse);
    recordWritten(id, id, reload);
    return true;
}

void AddressTable::recordWritten(qint64 id, qint64 stayOn, bool reload)
{
    if (m_rowsValid && reload) {
        const qint64 oldRow = m_row;
        invalidateRows();
        ensureRows();
        setRow(keptRow(stayOn, oldRow));
        if (m_ids.empty())
            m_bof = m_eof = true;
        notifyRowsReset();
    } else if (m_rowsValid) {
        // Only a row that is held can be on screen; others are read fresh when
        // they are shown. Looking in the held pages costs the same for any order.
        const qint64 r = heldRowOfId(id);
        if (r >= 0) {
            m_pages.remove(r / kPageRows);
            m_pageLru.removeOne(r / kPageRows);
            notifyRowChanged(r);
        }
    }
    if (m_controlsOff)
        m_changedPending = true;
    else
        emit afterPost(id);
}

void AddressTable::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    m_buffer.clear();
    m_modified.clear();
    setState(State::Browse);
    notifyRowChanged(m_row);
}

bool AddressTable::remove()
{
    if (m_state == State::Insert) {
        cancel();
        return true;
    }
    cancel();
    if (!checkOpen())
        return false;
    const qint64 id = currentId();
    if (id < 0)
        return fail(QStringLiteral("Es ist kein Datensatz zum Löschen vorhanden."));
    {
        TableTransaction tx(*this);
        auto run = [&](const QString &sql) {
            Stmt s = prepare(sql);
            if (!s)
                return false;
            sqlite3_bind_int64(s.get(), 1, id);
            return s.step() == SQLITE_DONE || failSql(QStringLiteral("Fehler beim Löschen"));
        };
        if (!tx.isOpen() || !run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(kMain, m_keyColumn)) ||
            (m_hasFlags && !run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(kFlags, kFlagKey))))
            return false;
        if (!tx.commit())
            return failSql(QStringLiteral("Fehler beim Löschen"));
    }
    m_ids.erase(m_ids.begin() + m_row);
    invalidatePages();
    if (m_row >= qint64(m_ids.size()))
        m_row = qint64(m_ids.size()) - 1;
    m_bof = m_ids.empty();
    m_eof = m_ids.empty();
    notifyRowsReset();
    if (m_controlsOff)
        m_changedPending = true;
    else
        emit afterDelete(id);
    return true;
}

// ---------------------------------------------------------------------------
// Set-based work

qint64 AddressTable::count(const Filter &where)
{
    Source src;
    CompiledFilter cf;
    if (!compile(where, QString(), &src, &cf, nullptr))
        return -1;
    Stmt s = prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(src.from, cf.where));
    if (!s)
        return -1;
    s.bindAll(cf.params);
    if (s.step() != SQLITE_ROW) {
        failSql(QStringLiteral("Lesefehler"));
        return -1;
    }
    return sqlite3_column_int64(s.get(), 0);
}

std::vector<qint64> AddressTable::ids(const Filter &where, const QString &indexName)
{
    std::vector<qint64> out;
    if (!loadIds(where, indexName, &out, nullptr))
        out.clear();
    return out;
}

bool AddressTable::scan(const Filter &where, const QString &indexName, const QList<int> &fields,
                        const std::function<bool(qint64, const QList<QVariant> &)> &callback)
{
    for (int f : fields)
        if (f < 0 || f >= fieldCount())
            return fail(QStringLiteral("Das Feld gibt es in der Tabelle nicht."));
    Source src;
    CompiledFilter cf;
    QString orderBy;
    if (!compile(where, indexName, &src, &cf, &orderBy, fields))
        return false;
    QStringList cols{src.key};
    for (int f : fields)
        cols.append(columnRef(f, src));
    Stmt s = prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4")
                         .arg(cols.join(QStringLiteral(", ")), src.from, cf.where, orderBy));
    if (!s)
        return false;
    s.bindAll(cf.params);
    QList<QVariant> values(fields.size());
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        for (int k = 0; k < fields.size(); ++k)
            values[k] = StoredToNatural(m_fields.at(fields.at(k)), columnValue(s.get(), k + 1));
        if (!callback(sqlite3_column_int64(s.get(), 0), values))
            return true;
    }
    return rc == SQLITE_DONE || failSql(QStringLiteral("Lesefehler"));
}

std::optional<QList<QVariant>> AddressTable::readRecord(qint64 id)
{
    std::optional<QList<QVariant>> out = readStored(id);
    if (out)
        for (int i = 0; i < fieldCount(); ++i)
            (*out)[i] = StoredToNatural(m_fields.at(i), out->at(i));
    return out;
}

std::optional<QList<QVariant>> AddressTable::readStored(qint64 id)
{
    if (!checkOpen())
        return std::nullopt;
    Stmt s = prepare(m_readSql);
    if (!s)
        return std::nullopt;
    sqlite3_bind_int64(s.get(), 1, id);
    if (s.step() != SQLITE_ROW) {
        fail(QStringLiteral("Der Datensatz %1 ist nicht vorhanden.").arg(id));
        return std::nullopt;
    }
    QList<QVariant> out;
    for (int i = 0; i < fieldCount(); ++i)
        out.append(columnValue(s.get(), i));
    return out;
}

bool AddressTable::updateFields(qint64 id, const FieldValues &values)
{
    std::optional<QList<QVariant>> stored = readStored(id);
    if (!stored)
        return false;
    QList<bool> changed(fieldCount(), false);
    for (const auto &[name, value] : values) {
        QVariant v;
        const int f = writableField(name, value, &v);
        if (f < 0)
            return false;
        (*stored)[f] = v;
        changed[f] = true;
    }
    if (!checkRecord(id, *stored, changed) || !writeRecord(&id, *stored, changed, true))
        return false;
    recordWritten(id, currentId(), touchesRowSet(changed));
    return true;
}

qint64 AddressTable::updateWhere(const Filter &where, const FieldValues &values)
{
    if (!checkOpen())
        return -1;
    QStringList mainSets, flagSets;
    QList<QVariant> mainValues, flagValues;
    QList<bool> changed(fieldCount(), false);
    for (const auto &[name, value] : values) {
        QVariant stored;
        const int f = writableField(name, value, &stored);
        if (f < 0)
            return -1;
        if (m_fields.at(f).required && vt::isBlank(stored)) {
            fail(QStringLiteral("Feld \"%1\" muss einen Wert haben.").arg(m_fields.at(f).name));
            return -1;
        }
        changed[f] = true;
        const QString set = quoted(m_fields.at(f).name) + QStringLiteral(" = ?");
        if (m_fields.at(f).type == FieldType::Boolean) {
            flagSets.append(set);
            flagValues.append(stored);
        } else {
            mainSets.append(set);
            mainValues.append(stored);
        }
    }
    if (values.isEmpty())
        return count(where);
    Source src;
    CompiledFilter cf;
    if (!compile(where, QString(), &src, &cf, nullptr))
        return -1;
    TableTransaction tx(*this);
    if (!tx.isOpen())
        return -1;
    qint64 changes = 0;
    auto run = [&](const QString &table, const QString &alias, const QString &key, const QStringList &sets,
                   const QList<QVariant> &setValues, bool sameSource) {
        if (sets.isEmpty())
            return true;
        // With a filter on the part being changed alone, the UPDATE filters
        // directly; otherwise the records are chosen by their keys.
        QString sql;
        if (cf.where == QLatin1String("1"))
            sql = QStringLiteral("UPDATE %1 SET %2").arg(table, sets.join(QStringLiteral(", ")));
        else if (sameSource)
            sql = QStringLiteral("UPDATE %1 AS %2 SET %3 WHERE %4")
                      .arg(table, alias, sets.join(QStringLiteral(", ")), cf.where);
        else
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 IN (SELECT %4 FROM %5 WHERE %6)")
                      .arg(table, sets.join(QStringLiteral(", ")), key, src.key, src.from, cf.where);
        Stmt s = prepare(sql);
        if (!s)
            return false;
        s.bindAll(setValues);
        s.bindAll(cf.params, int(setValues.size()) + 1);
        if (s.step() != SQLITE_DONE)
            return failSql(QStringLiteral("Fehler beim Ändern"));
        changes = std::max<qint64>(changes, sqlite3_changes64(m_db));
        return true;
    };
    const bool mainOnly = src.main && !src.flags;
    const bool flagsOnly = src.flags && !src.main;
    if (!run(kMain, QStringLiteral("a"), m_keyColumn, mainSets, mainValues, mainOnly) ||
        !run(kFlags, QStringLiteral("f"), kFlagKey, flagSets, flagValues, flagsOnly))
        return -1;
    if (!tx.commit()) {
        failSql(QStringLiteral("Fehler beim Ändern"));
        return -1;
    }
    if (touchesRowSet(changed) && m_rowsValid) {
        const qint64 current = currentId();
        invalidateRows();
        ensureRows();
        m_row = keptRow(current, m_row);
    }
    invalidatePages();
    notifyRowsReset();
    notifyChanged();
    return changes;
}

qint64 AddressTable::deleteWhere(const Filter &where)
{
    if (!checkOpen())
        return -1;
    if (m_state == State::Edit || m_state == State::Insert)
        cancel();
    Source src;
    CompiledFilter cf;
    if (!compile(where, QString(), &src, &cf, nullptr))
        return -1;
    TableTransaction tx(*this);
    if (!tx.isOpen())
        return -1;
    qint64 changes = 0;
    auto run = [&](const QString &sql, const QList<QVariant> &params, bool counts) {
        Stmt s = prepare(sql);
        if (!s)
            return false;
        s.bindAll(params);
        if (s.step() != SQLITE_DONE)
            return failSql(QStringLiteral("Fehler beim Löschen"));
        if (counts)
            changes = sqlite3_changes64(m_db);
        return true;
    };
    bool ok;
    if (cf.where == QLatin1String("1")) {
        ok = run(QStringLiteral("DELETE FROM %1").arg(kMain), {}, true) &&
             (!m_hasFlags || run(QStringLiteral("DELETE FROM %1").arg(kFlags), {}, false));
    } else {
        // The keys first, then both parts by key: deleting one part must not
        // change which records the filter finds in the other.
        ok = exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS vt_delete (id INTEGER PRIMARY KEY)")) &&
             exec(QStringLiteral("DELETE FROM temp.vt_delete")) &&
             run(QStringLiteral("INSERT INTO temp.vt_delete SELECT %1 FROM %2 WHERE %3")
                     .arg(src.key, src.from, cf.where),
                 cf.params, false) &&
             run(QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT id FROM temp.vt_delete)").arg(kMain, m_keyColumn),
                 {}, true) &&
             (!m_hasFlags ||
              run(QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT id FROM temp.vt_delete)").arg(kFlags, kFlagKey),
                  {}, false)) &&
             exec(QStringLiteral("DELETE FROM temp.vt_delete"));
    }
    if (!ok)
        return -1;
    if (!tx.commit()) {
        failSql(QStringLiteral("Fehler beim Löschen"));
        return -1;
    }
    const qint64 current = currentId();
    const qint64 oldRow = m_row;
    invalidateRows();
    ensureRows();
    m_row = keptRow(current, oldRow);
    m_bof = m_eof = m_ids.empty();
    notifyRowsReset();
    notifyChanged();
    return changes;
}

// ---------------------------------------------------------------------------
// Transactions and notifications

bool AddressTable::runSimple(const QString &sql)
{
    Stmt s = prepare(sql);
    return s && (s.step() == SQLITE_DONE || failSql(QStringLiteral("Datenbankfehler")));
}

bool AddressTable::beginTransaction()
{
    if (!checkOpen())
        return false;
    // Inner transactions are savepoints: a part that fails can be undone alone.
    if (!runSimple(m_txDepth == 0 ? QStringLiteral("BEGIN IMMEDIATE")
                                  : QStringLiteral("SAVEPOINT vt_%1").arg(m_txDepth)))
        return false;
    ++m_txDepth;
    return true;
}

bool AddressTable::commitTransaction()
{
    if (m_txDepth == 0)
        return false;
    if (--m_txDepth > 0)
        return runSimple(QStringLiteral("RELEASE vt_%1").arg(m_txDepth));
    if (runSimple(QStringLiteral("COMMIT")))
        return true;
    const QString e = m_error;
    m_txDepth = 1;
    rollbackTransaction();
    m_error = e;
    return false;
}

void AddressTable::rollbackTransaction()
{
    if (m_txDepth == 0)
        return;
    const QString e = m_error;
    if (--m_txDepth > 0) {
        // Nothing of an inner part is announced before it is committed.
        runSimple(QStringLiteral("ROLLBACK TO vt_%1").arg(m_txDepth));
        runSimple(QStringLiteral("RELEASE vt_%1").arg(m_txDepth));
        m_error = e;
        return;
    }
    runSimple(QStringLiteral("ROLLBACK"));
    m_error = e;
    invalidateRows();
    notifyRowsReset();
}

void AddressTable::disableControls()
{
    ++m_controlsOff;
}

void AddressTable::enableControls()
{
    if (m_controlsOff == 0 || --m_controlsOff > 0)
        return;
    const bool changed = m_changedPending;
    m_changedPending = false;
    emit rowsReset();
    if (changed)
        emit afterBulkChange();
}

void AddressTable::notifyRowsReset()
{
    // enableControls() sends the one reset for all that happened meanwhile.
    if (!m_controlsOff)
        emit rowsReset();
}

void AddressTable::notifyRowChanged(qint64 row)
{
    if (!m_controlsOff && row >= 0)
        emit rowChanged(row);
}

void AddressTable::notifyChanged()
{
    if (m_controlsOff)
        m_changedPending = true;
    else
        emit afterBulkChange();
}

// ---------------------------------------------------------------------------
// Appending many records

TableAppender::TableAppender(AddressTable &table) : m_table(table)
{
    m_ok = table.isOpen() && table.checkBrowse() && table.beginTransaction();
    if (!m_ok) {
        m_error = table.lastError();
        m_done = true;
        return;
    }
    m_values = QList<QVariant>(table.fieldCount());
    // Once an import at least doubles the table, its ordinary indexes are
    // dropped and built again at the end: sorting once is far cheaper than
    // inserting every record into a dozen indexes out of order.
    m_deferAt = std::max<qint64>(20000, table.count(Filter()));
}

TableAppender::~TableAppender()
{
    if (!m_done)
        m_table.rollbackTransaction();
}

bool TableAppender::setValue(int field, const QVariant &value)
{
    if (!m_ok || field < 0 || field >= m_table.fieldCount() || field == m_table.m_keyField) {
        m_error = QStringLiteral("Das Feld kann nicht gesetzt werden.");
        return false;
    }
    return NaturalToStored(m_table.field(field), value, &m_values[field], &m_error);
}

bool TableAppender::append()
{
    if (!m_ok || m_done)
        return false;
    const QList<QVariant> values = m_values;
    m_values = QList<QVariant>(m_table.fieldCount());
    // The checks and statements of a post; the statements stay prepared in the
    // table's cache, so each record costs two executions.
    qint64 id = -1;
    if (!m_table.checkRecord(-1, values, {})) {
        m_error = m_table.lastError();
        return false;
    }
    if (!m_table.writeRecord(&id, values, {}, false)) {
        // A refused record leaves nothing behind when its first statement
        // failed; a record half written spoils the whole batch.
        m_error = m_table.lastError();
        if (id >= 0) {
            m_ok = false;
            m_table.rollbackTransaction();
            m_done = true;
        }
        return false;
    }
    if (++m_count == m_deferAt && !deferIndexes()) {
        m_ok = false;
        m_table.rollbackTransaction();
        m_done = true;
        return false;
    }
    return true;
}

bool TableAppender::deferIndexes()
{
    // Unique indexes stay: each record is checked against them.
    Stmt s = m_table.prepare(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' "
                                            "AND sql IS NOT NULL AND sql NOT LIKE 'CREATE UNIQUE%'"));
    if (!s)
        return false;
    QStringList names;
    while (s.step() == SQLITE_ROW) {
        names.append(columnValue(s.get(), 0).toString());
        m_deferred.append(columnValue(s.get(), 1).toString());
    }
    for (const QString &n : names)
        if (!m_table.exec(QStringLiteral("DROP INDEX ") + quoted(n))) {
            m_error = m_table.lastError();
            return false;
        }
    return true;
}

bool TableAppender::commit()
{
    if (!m_ok || m_done)
        return false;
    m_done = true;
    for (const QString &sql : std::as_const(m_deferred))
        if (!m_table.exec(sql)) {
            m_error = m_table.lastError();
            m_table.rollbackTransaction();
            return false;
        }
    const bool ok = m_table.commitTransaction();
    if (!ok)
        m_error = m_table.lastError();
    m_table.invalidateRows();
    m_table.notifyRowsReset();
    m_table.notifyChanged();
    return ok;
}

} // namespace vt
