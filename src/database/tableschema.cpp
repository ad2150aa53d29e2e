#include "tableschema.h"
#include "sqlitefunctions.h"
#include "sqlstatement.h"
#include "text.h"

#include <QFile>

namespace vt {

// ---------------------------------------------------------------------------
// Creating a table file

bool TableSchema::create(const QString &path, const QList<FieldDef> &fields, const QList<IndexDef> &indexes,
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
    bool ok = openConnection(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &db) == SQLITE_OK;
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
                        ? quotedName(fields.at(autoInc).name) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT")
                        : kFlagKey + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT"));
    for (int i = 0; i < fields.size(); ++i) {
        const FieldDef &f = fields.at(i);
        switch (f.type) {
        case FieldType::AutoInc: break;
        case FieldType::Boolean: flagCols.append(quotedName(f.name) + QStringLiteral(" INTEGER")); break;
        case FieldType::String:
        case FieldType::Memo: mainCols.append(quotedName(f.name) + QStringLiteral(" TEXT COLLATE VTFOLD")); break;
        case FieldType::Integer: mainCols.append(quotedName(f.name) + QStringLiteral(" INTEGER")); break;
        case FieldType::Float:
        case FieldType::Currency: mainCols.append(quotedName(f.name) + QStringLiteral(" REAL")); break;
        case FieldType::Date:
        case FieldType::Time: mainCols.append(quotedName(f.name) + QStringLiteral(" TEXT")); break;
        }
    }
    run(QStringLiteral("CREATE TABLE %1 (%2)").arg(kMainTable, mainCols.join(QStringLiteral(", "))));
    if (!flagCols.isEmpty())
        run(QStringLiteral("CREATE TABLE %1 (%2 INTEGER PRIMARY KEY, %3)")
                .arg(kFlagTable, kFlagKey, flagCols.join(QStringLiteral(", "))));
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
            cols.append(quotedName(fields.at(k).name));
        run(QStringLiteral("CREATE %1INDEX \"address_ix%2\" ON %3 (%4)")
                .arg(x.primary ? QStringLiteral("UNIQUE ") : QString())
                .arg(i)
                .arg(inMain ? kMainTable : kFlagTable, cols.join(QStringLiteral(", "))));
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
// What depends on the definitions alone

void TableSchema::setDefinitions(QList<FieldDef> fields, QList<IndexDef> indexes)
{
    m_fields = std::move(fields);
    m_indexes = std::move(indexes);
    m_keyField = -1;
    m_hasFlags = false;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).type == FieldType::AutoInc)
            m_keyField = i;
        if (m_fields.at(i).type == FieldType::Boolean)
            m_hasFlags = true;
    }
    m_keyColumn = m_keyField >= 0 ? quotedName(m_fields.at(m_keyField).name) : kFlagKey;

    const TableSource full = wholeRecords();
    QStringList cols, mainCols, flagCols{kFlagKey};
    for (int i = 0; i < m_fields.size(); ++i) {
        cols.append(columnRef(i, full));
        if (i != m_keyField)
            (m_fields.at(i).type == FieldType::Boolean ? flagCols : mainCols).append(quotedName(m_fields.at(i).name));
    }
    auto marks = [](qsizetype n) { return QStringList(n, QStringLiteral("?")).join(QStringLiteral(", ")); };
    m_insertMainSql = mainCols.isEmpty()
                          ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(kMainTable)
                          : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(kMainTable, mainCols.join(QStringLiteral(", ")), marks(mainCols.size()));
    m_insertFlagsSql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(kFlagTable, flagCols.join(QStringLiteral(", ")), marks(flagCols.size()));
    m_readSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(cols.join(QStringLiteral(", ")), full.from, full.key);
}

void TableSchema::clear()
{
    *this = TableSchema();
}

QString TableSchema::readByKeysSql(int count) const
{
    const TableSource full = wholeRecords();
    QStringList cols{full.key};
    for (int i = 0; i < m_fields.size(); ++i)
        cols.append(columnRef(i, full));
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
        .arg(cols.join(QStringLiteral(", ")), full.from, full.key,
             QStringList(count, QStringLiteral("?")).join(QLatin1Char(',')));
}

QString TableSchema::columnRef(int field, const TableSource &s) const
{
    if (field == m_keyField)
        return s.key;
    if (m_fields.at(field).type == FieldType::Boolean)
        return QStringLiteral("f.") + quotedName(m_fields.at(field).name);
    return QStringLiteral("a.") + quotedName(m_fields.at(field).name);
}

TableSource TableSchema::sourceFor(const QList<int> &fields) const
{
    TableSource s;
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
        s.from = kFlagTable + QStringLiteral(" f");
        s.key = QStringLiteral("f.") + kFlagKey;
        return s;
    }
    s.main = true;
    s.flags = flags;
    s.key = QStringLiteral("a.") + m_keyColumn;
    s.from = kMainTable + QStringLiteral(" a");
    if (flags)
        s.from += QStringLiteral(" JOIN %1 f ON f.%2 = %3").arg(kFlagTable, kFlagKey, s.key);
    return s;
}

TableSource TableSchema::wholeRecords() const
{
    TableSource s;
    s.key = QStringLiteral("a.") + m_keyColumn;
    s.from = kMainTable + QStringLiteral(" a");
    s.flags = m_hasFlags;
    if (m_hasFlags)
        s.from += QStringLiteral(" LEFT JOIN %1 f ON f.%2 = %3").arg(kFlagTable, kFlagKey, s.key);
    return s;
}

QList<int> TableSchema::orderFields(const QString &indexName) const
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

} // namespace vt
