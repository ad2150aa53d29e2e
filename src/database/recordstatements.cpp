#include "recordstatements.h"
#include "sqlstatement.h"
#include "tablestore.h"
#include "textsearch.h"

#include <QHash>

#include <algorithm>
#include <optional>

namespace vt {

// ---------------------------------------------------------------------------
// One record

std::optional<QList<QVariant>> RecordStatements::readStored(qint64 id)
{
    if (!m_store.checkOpen())
        return std::nullopt;
    Stmt s = m_store.prepare(m_store.schema().readSql());
    if (!s)
        return std::nullopt;
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) {
        m_store.fail(QStringLiteral("Der Datensatz %1 ist nicht vorhanden.").arg(id));
        return std::nullopt;
    }
    QList<QVariant> out;
    const int n = m_store.schema().fieldCount();
    out.reserve(n);
    for (int i = 0; i < n; ++i)
        out.append(s.valueAt(i));
    return out;
}

void RecordStatements::readByKeys(const QString &sql, const qint64 *ids, int count, QVariant *values)
{
    const int nf = m_store.schema().fieldCount();
    Stmt s = m_store.prepare(sql);
    if (!s)
        return;
    QHash<qint64, int> rowOf;
    for (int r = 0; r < count; ++r) {
        s.bind(r + 1, ids[r]);
        rowOf.insert(ids[r], r);
    }
    while (s.step() == SQLITE_ROW) {
        const int r = rowOf.value(s.int64At(0), -1);
        if (r < 0)
            continue;
        for (int i = 0; i < nf; ++i)
            values[size_t(r) * size_t(nf) + size_t(i)] = s.valueAt(i + 1);
    }
}

int RecordStatements::writableField(const QString &name, const QVariant &value, QVariant *stored)
{
    const TableSchema &schema = m_store.schema();
    const int f = schema.fieldIndex(name);
    QString err;
    if (f < 0)
        err = QStringLiteral("Das Feld \"%1\" gibt es in der Tabelle nicht.").arg(name);
    else if (f == schema.keyField())
        err = QStringLiteral("Das Feld \"%1\" vergibt die Tabelle selbst.").arg(name);
    else if (NaturalToStored(schema.fields().at(f), value, stored, &err))
        return f;
    m_store.fail(err);
    return -1;
}

bool RecordStatements::checkRecord(qint64 id, const QList<QVariant> &stored, const QList<bool> &changed)
{
    const TableSchema &schema = m_store.schema();
    const QList<FieldDef> &fields = schema.fields();
    for (int i = 0; i < fields.size(); ++i)
        if (i != schema.keyField() && fields.at(i).required && isBlankValue(stored.value(i)))
            return m_store.fail(QStringLiteral("Feld \"%1\" muss einen Wert haben.").arg(fields.at(i).name));
    for (const IndexDef &x : schema.indexes()) {
        if (!x.primary)
            continue;
        QList<int> fs;
        bool touched = id < 0;
        for (const QString &n : x.fields) {
            const int f = schema.fieldIndex(n);
            if (f < 0)
                continue;
            fs.append(f);
            touched = touched || changed.value(f);
        }
        if (!touched || fs.isEmpty() || fs == QList<int>{schema.keyField()})
            continue;
        const TableSource src = schema.sourceFor(fs);
        QStringList conds, shown;
        for (int f : fs) {
            conds.append(schema.columnRef(f, src) + QStringLiteral(" IS ?"));
            shown.append(StoredToText(fields.at(f), stored.value(f)));
        }
        Stmt s = m_store.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 AND %3 <> ? LIMIT 1")
                                     .arg(src.from, conds.join(QStringLiteral(" AND ")), src.key));
        if (!s)
            return false;
        int k = 1;
        for (int f : fs)
            s.bind(k++, stored.value(f));
        s.bind(k, id);
        const int rc = s.step();
        if (rc == SQLITE_ROW)
            return m_store.fail(QStringLiteral("Schlüsselverletzung: \"%1\" ist im Index \"%2\" bereits vorhanden.")
                                    .arg(shown.join(QStringLiteral(", ")), x.name));
        if (rc != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Lesefehler"));
    }
    return true;
}

bool RecordStatements::writeRecord(qint64 *id, const QList<QVariant> &stored, const QList<bool> &changed,
                                   bool ownTransaction)
{
    const TableSchema &schema = m_store.schema();
    const bool insert = *id < 0;
    QStringList mainSets, flagSets;
    QList<QVariant> mainValues, flagValues;
    for (int i = 0; i < schema.fieldCount(); ++i) {
        if (i == schema.keyField() || (!insert && !changed.value(i)))
            continue;
        const bool flag = schema.fields().at(i).type == FieldType::Boolean;
        (flag ? flagValues : mainValues).append(stored.value(i));
        // An insert names every column in the statement made at opening.
        if (!insert)
            (flag ? flagSets : mainSets).append(quotedName(schema.fields().at(i).name) + QStringLiteral(" = ?"));
    }
    // Appending many records runs inside the appender's transaction; a savepoint
    // per record would copy every page it touches into a sub-journal.
    std::optional<TableTransaction> tx;
    if (ownTransaction) {
        tx.emplace(m_store);
        if (!tx->isOpen())
            return false;
    }
    sqlite3 *db = m_store.handle();
    auto run = [&](const QString &sql, const QList<QVariant> &values, qint64 key) {
        Stmt s = m_store.prepare(sql);
        if (!s)
            return false;
        s.bindAll(values);
        if (key >= 0)
            s.bind(int(values.size()) + 1, key);
        if (s.step() != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Schreibfehler"));
        if (!insert && sqlite3_changes(db) == 0)
            return m_store.fail(QStringLiteral("Der Datensatz ist nicht mehr vorhanden."));
        return true;
    };
    if (insert) {
        if (!run(schema.insertMainSql(), mainValues, -1))
            return false;
        *id = sqlite3_last_insert_rowid(db);
        if (schema.hasFlags() && !run(schema.insertFlagsSql(), QList<QVariant>{*id} + flagValues, -1))
            return false;
    } else {
        if (!mainSets.isEmpty() && !run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                            .arg(kMainTable, mainSets.join(QStringLiteral(", ")), schema.keyColumn()),
                                        mainValues, *id))
            return false;
        if (!flagSets.isEmpty() && !run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                                            .arg(kFlagTable, flagSets.join(QStringLiteral(", ")), kFlagKey),
                                        flagValues, *id))
            return false;
    }
    return !tx || tx->commit() || m_store.failSql(QStringLiteral("Schreibfehler"));
}

bool RecordStatements::updateFields(qint64 id, const FieldValues &values, QList<bool> *changed)
{
    std::optional<QList<QVariant>> stored = readStored(id);
    if (!stored)
        return false;
    *changed = QList<bool>(m_store.schema().fieldCount(), false);
    for (const auto &[name, value] : values) {
        QVariant v;
        const int f = writableField(name, value, &v);
        if (f < 0)
            return false;
        (*stored)[f] = v;
        (*changed)[f] = true;
    }
    return checkRecord(id, *stored, *changed) && writeRecord(&id, *stored, *changed, true);
}

bool RecordStatements::deleteRecord(qint64 id)
{
    const TableSchema &schema = m_store.schema();
    TableTransaction tx(m_store);
    auto run = [&](const QString &sql) {
        Stmt s = m_store.prepare(sql);
        if (!s)
            return false;
        s.bind(1, id);
        return s.step() == SQLITE_DONE || m_store.failSql(QStringLiteral("Fehler beim Löschen"));
    };
    if (!tx.isOpen() || !run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(kMainTable, schema.keyColumn())) ||
        (schema.hasFlags() && !run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(kFlagTable, kFlagKey))))
        return false;
    return tx.commit() || m_store.failSql(QStringLiteral("Fehler beim Löschen"));
}

// ---------------------------------------------------------------------------
// Every record under a filter

qint64 RecordStatements::count(const Filter &where)
{
    TableSource src;
    CompiledFilter cf;
    if (!m_store.compile(where, QString(), &src, &cf, nullptr))
        return -1;
    Stmt s = m_store.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2").arg(src.from, cf.where));
    if (!s)
        return -1;
    s.bindAll(cf.params);
    if (s.step() != SQLITE_ROW) {
        m_store.failSql(QStringLiteral("Lesefehler"));
        return -1;
    }
    return s.int64At(0);
}

bool RecordStatements::loadIds(const Filter &where, const QString &indexName, std::vector<qint64> *out,
                               QList<int> *fields, size_t reserve)
{
    TableSource src;
    CompiledFilter cf;
    QString orderBy;
    if (!m_store.compile(where, indexName, &src, &cf, &orderBy))
        return false;
    if (src.main && src.flags && filtersOnFlagsAlone(where)) {
        if (!loadIdsInTwoSteps(where, indexName, out, reserve))
            return false;
        if (fields)
            *fields = cf.fields;
        return true;
    }
    Stmt s = m_store.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4").arg(src.key, src.from, cf.where, orderBy));
    if (!s)
        return false;
    s.bindAll(cf.params);
    out->clear();
    out->reserve(reserve);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        out->push_back(s.int64At(0));
    if (rc != SQLITE_DONE)
        return m_store.failSql(QStringLiteral("Lesefehler"));
    if (fields)
        *fields = cf.fields;
    return true;
}

bool RecordStatements::filtersOnFlagsAlone(const Filter &where)
{
    const TableSchema &schema = m_store.schema();
    QList<int> filterFields;
    if (!schema.hasFlags() || where.isEmpty() || !m_store.checkFilter(where, &filterFields))
        return false;
    return std::all_of(filterFields.begin(), filterFields.end(), [&](int f) {
        return f == schema.keyField() || schema.fields().at(f).type == FieldType::Boolean;
    });
}

bool RecordStatements::loadIdsInTwoSteps(const Filter &where, const QString &indexName, std::vector<qint64> *out,
                                         size_t reserve)
{
    // A filter on the marks in the order of an index of the main part: joining
    // both parts would look up the marks of every record along the index. The
    // keys that pass are read from the narrow part first; the index's order
    // then keeps those.
    std::vector<qint64> passing;
    TableSource src;
    CompiledFilter cf;
    if (!m_store.compile(where, QString(), &src, &cf, nullptr))
        return false;
    Stmt s = m_store.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %1").arg(src.key, src.from, cf.where));
    if (!s)
        return false;
    s.bindAll(cf.params);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        passing.push_back(s.int64At(0));
    if (rc != SQLITE_DONE)
        return m_store.failSql(QStringLiteral("Lesefehler"));
    QString orderBy;
    if (!m_store.compile({}, indexName, &src, &cf, &orderBy))
        return false;
    Stmt order = m_store.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(src.key, src.from, orderBy));
    if (!order)
        return false;
    out->clear();
    out->reserve(std::max(reserve, passing.size()));
    while ((rc = order.step()) == SQLITE_ROW) {
        const qint64 id = order.int64At(0);
        if (std::binary_search(passing.begin(), passing.end(), id))
            out->push_back(id);
    }
    return rc == SQLITE_DONE || m_store.failSql(QStringLiteral("Lesefehler"));
}

Stmt RecordStatements::scanStatement(const Filter &where, const QString &indexName, const QList<int> &fields,
                                     bool withKey)
{
    const TableSchema &schema = m_store.schema();
    for (int f : fields)
        if (f < 0 || f >= schema.fieldCount()) {
            m_store.fail(QStringLiteral("Das Feld gibt es in der Tabelle nicht."));
            return {};
        }
    TableSource src;
    CompiledFilter cf;
    QString orderBy;
    if (!m_store.compile(where, indexName, &src, &cf, &orderBy, fields))
        return {};
    QStringList cols;
    if (withKey)
        cols.append(src.key);
    for (int f : fields)
        cols.append(schema.columnRef(f, src));
    if (cols.isEmpty())
        cols.append(src.key);
    Stmt s = m_store.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %4")
                                 .arg(cols.join(QStringLiteral(", ")), src.from, cf.where, orderBy));
    if (s)
        s.bindAll(cf.params);
    return s;
}

bool RecordStatements::scan(const Filter &where, const QString &indexName, const QList<int> &fields,
                            const std::function<bool(qint64, const QList<QVariant> &)> &callback, bool stored)
{
    const TableSchema &schema = m_store.schema();
    Stmt s = scanStatement(where, indexName, fields, true);
    if (!s)
        return false;
    QList<QVariant> values(fields.size());
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        for (int k = 0; k < fields.size(); ++k)
            values[k] = stored ? s.valueAt(k + 1) : StoredToNatural(schema.fields().at(fields.at(k)), s.valueAt(k + 1));
        if (!callback(s.int64At(0), values))
            return true;
    }
    return rc == SQLITE_DONE || m_store.failSql(QStringLiteral("Lesefehler"));
}

QVariant RawValue::stored() const
{
    switch (kind) {
    case Integer: return integer;
    case Real: return real;
    case Text: return QString::fromUtf8(data, bytes);
    case Blob: return QByteArray(data, bytes);
    case Blank: break;
    }
    return {};
}

bool RecordStatements::scanRaw(const Filter &where, const QString &indexName, const QList<int> &fields,
                               const std::function<bool(const RawValue *)> &callback)
{
    Stmt s = scanStatement(where, indexName, fields, false);
    if (!s)
        return false;
    sqlite3_stmt *st = s.get();
    std::vector<RawValue> values(size_t(fields.size()) + 1);
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        for (int k = 0; k < fields.size(); ++k) {
            RawValue &v = values[size_t(k)];
            switch (sqlite3_column_type(st, k)) {
            case SQLITE_INTEGER:
                v.kind = RawValue::Integer;
                v.integer = sqlite3_column_int64(st, k);
                break;
            case SQLITE_FLOAT:
                v.kind = RawValue::Real;
                v.real = sqlite3_column_double(st, k);
                break;
            case SQLITE_TEXT:
                v.kind = RawValue::Text;
                // The text first, then its length: asking in this order converts nothing.
                v.data = reinterpret_cast<const char *>(sqlite3_column_text(st, k));
                v.bytes = sqlite3_column_bytes(st, k);
                break;
            case SQLITE_BLOB:
                v.kind = RawValue::Blob;
                v.data = static_cast<const char *>(sqlite3_column_blob(st, k));
                v.bytes = sqlite3_column_bytes(st, k);
                break;
            default: v.kind = RawValue::Blank; break;
            }
        }
        if (!callback(values.data()))
            return true;
    }
    return rc == SQLITE_DONE || m_store.failSql(QStringLiteral("Lesefehler"));
}

namespace {

// The fields a search reads, in the table's order: those that can match.
QList<int> searchedFields(const TableSchema &schema, const TextSearch &search)
{
    QList<int> fields;
    for (int i = 0; i < schema.fieldCount(); ++i)
        if (SqlTextSearch::mayMatch(search, schema.fields().at(i)))
            fields.append(i);
    return fields;
}

// The condition of a search over those fields of a source.
struct SearchCondition
{
    QList<FieldDef> fields;
    QStringList columns;
    SearchCondition(const TableSchema &schema, const QList<int> &read, const TableSource &src)
    {
        for (int i : read) {
            fields.append(schema.fields().at(i));
            columns.append(schema.columnRef(i, src));
        }
    }
};

} // namespace

bool RecordStatements::firstMatchingKey(const Filter &where, const TextSearch &search, qint64 from, bool backward,
                                        qint64 *key)
{
    *key = -1;
    const TableSchema &schema = m_store.schema();
    const QList<int> read = searchedFields(schema, search);
    TableSource src;
    CompiledFilter cf;
    if (!m_store.compile(where, QString(), &src, &cf, nullptr, read))
        return false;
    const SearchCondition on(schema, read, src);
    const SqlTextSearch match(search, on.fields, on.columns);
    const int p = int(cf.params.size());
    Stmt s =
        m_store.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE (%3) AND %1 %4 ?%5 AND (%6) ORDER BY %1 %7 LIMIT 1")
                            .arg(src.key, src.from, cf.where, backward ? QStringLiteral("<=") : QStringLiteral(">="))
                            .arg(p + 1)
                            .arg(match.condition(p + 2), backward ? QStringLiteral("DESC") : QString()));
    if (!s)
        return false;
    s.bindAll(cf.params);
    s.bind(p + 1, from);
    match.bind(s.get(), p + 2);
    const int rc = s.step();
    if (rc == SQLITE_ROW)
        *key = s.int64At(0);
    return rc == SQLITE_ROW || rc == SQLITE_DONE || m_store.failSql(QStringLiteral("Lesefehler"));
}

bool RecordStatements::matchingKeys(const TextSearch &search, const qint64 *keys, int count, QSet<qint64> *out)
{
    // One statement text for every batch: keys not given are NULL and match nothing.
    constexpr int kBatch = 500;
    const TableSchema &schema = m_store.schema();
    const QList<int> read = searchedFields(schema, search);
    const TableSource src = schema.sourceFor(read);
    const SearchCondition on(schema, read, src);
    const SqlTextSearch match(search, on.fields, on.columns);
    QStringList marks;
    for (int k = 1; k <= kBatch; ++k)
        marks.append(QStringLiteral("?%1").arg(k));
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %1 IN (%3) AND (%4)")
                            .arg(src.key, src.from, marks.join(QLatin1Char(',')), match.condition(kBatch + 1));
    for (int at = 0; at < count; at += kBatch) {
        Stmt s = m_store.prepare(sql);
        if (!s)
            return false;
        for (int k = 0; k < kBatch; ++k)
            if (at + k < count)
                s.bind(k + 1, keys[at + k]);
            else
                s.bind(k + 1, QVariant());
        match.bind(s.get(), kBatch + 1);
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            out->insert(s.int64At(0));
        if (rc != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Lesefehler"));
    }
    return true;
}

bool RecordStatements::assignments(const FieldValues &values, Assignments *out, QList<bool> *changed)
{
    if (!m_store.checkOpen())
        return false;
    const TableSchema &schema = m_store.schema();
    *changed = QList<bool>(schema.fieldCount(), false);
    for (const auto &[name, value] : values) {
        QVariant stored;
        const int f = writableField(name, value, &stored);
        if (f < 0)
            return false;
        const FieldDef &def = schema.fields().at(f);
        if (def.required && isBlankValue(stored))
            return m_store.fail(QStringLiteral("Feld \"%1\" muss einen Wert haben.").arg(def.name));
        (*changed)[f] = true;
        const QString set = quotedName(def.name) + QStringLiteral(" = ?");
        if (def.type == FieldType::Boolean) {
            out->flagSets.append(set);
            out->flagValues.append(stored);
        } else {
            out->mainSets.append(set);
            out->mainValues.append(stored);
        }
    }
    return true;
}

qint64 RecordStatements::updateWhere(const Filter &where, const FieldValues &values, QList<bool> *changed)
{
    Assignments a;
    if (!assignments(values, &a, changed))
        return -1;
    if (values.isEmpty())
        return count(where);
    const TableSchema &schema = m_store.schema();
    qint64 changes = 0;
    const QString what = QStringLiteral("Fehler beim Ändern");
    const bool ok = writeWhere(where, what, [&](const TableSource &src, const CompiledFilter &cf) {
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
            Stmt s = m_store.prepare(sql);
            if (!s)
                return false;
            s.bindAll(setValues);
            s.bindAll(cf.params, int(setValues.size()) + 1);
            if (s.step() != SQLITE_DONE)
                return m_store.failSql(what);
            changes = std::max<qint64>(changes, sqlite3_changes64(m_store.handle()));
            return true;
        };
        const bool mainOnly = src.main && !src.flags;
        const bool flagsOnly = src.flags && !src.main;
        return run(kMainTable, QStringLiteral("a"), schema.keyColumn(), a.mainSets, a.mainValues, mainOnly) &&
               run(kFlagTable, QStringLiteral("f"), kFlagKey, a.flagSets, a.flagValues, flagsOnly);
    });
    return ok ? changes : -1;
}

qint64 RecordStatements::deleteWhere(const Filter &where)
{
    const TableSchema &schema = m_store.schema();
    qint64 changes = 0;
    const QString what = QStringLiteral("Fehler beim Löschen");
    const bool ok = writeWhere(where, what, [&](const TableSource &src, const CompiledFilter &cf) {
        auto run = [&](const QString &sql, bool counts) {
            Stmt s = m_store.prepare(sql);
            if (!s)
                return false;
            if (s.step() != SQLITE_DONE)
                return m_store.failSql(what);
            if (counts)
                changes = sqlite3_changes64(m_store.handle());
            return true;
        };
        if (cf.where == QLatin1String("1"))
            return run(QStringLiteral("DELETE FROM %1").arg(kMainTable), true) &&
                   (!schema.hasFlags() || run(QStringLiteral("DELETE FROM %1").arg(kFlagTable), false));
        // The keys first, then both parts by key: deleting one part must not
        // change which records the filter finds in the other.
        if (!loadKeys({}))
            return false;
        Stmt s = m_store.prepare(
            QStringLiteral("INSERT INTO temp.vt_keys SELECT %1 FROM %2 WHERE %3").arg(src.key, src.from, cf.where));
        if (!s)
            return false;
        s.bindAll(cf.params);
        if (s.step() != SQLITE_DONE)
            return m_store.failSql(what);
        return deleteLoadedKeys(what, &changes);
    });
    return ok ? changes : -1;
}

bool RecordStatements::loadKeys(const std::vector<qint64> &keys)
{
    if (!m_store.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS vt_keys (id INTEGER PRIMARY KEY)")) ||
        !m_store.exec(QStringLiteral("DELETE FROM temp.vt_keys")))
        return false;
    Stmt s = m_store.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.vt_keys VALUES (?)"));
    if (!s)
        return false;
    for (const qint64 k : keys) {
        s.bind(1, k);
        if (s.step() != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Schreibfehler"));
        sqlite3_reset(s.get());
    }
    return true;
}

bool RecordStatements::deleteLoadedKeys(const QString &what, qint64 *changes)
{
    const TableSchema &schema = m_store.schema();
    const QString byKey = QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT id FROM temp.vt_keys)");
    auto run = [&](const QString &sql, bool counts) {
        Stmt s = m_store.prepare(sql);
        if (!s)
            return false;
        if (s.step() != SQLITE_DONE)
            return m_store.failSql(what);
        if (counts)
            *changes = sqlite3_changes64(m_store.handle());
        return true;
    };
    return run(byKey.arg(kMainTable, schema.keyColumn()), true) &&
           (!schema.hasFlags() || run(byKey.arg(kFlagTable, kFlagKey), false)) &&
           m_store.exec(QStringLiteral("DELETE FROM temp.vt_keys"));
}

qint64 RecordStatements::updateKeys(const std::vector<qint64> &keys, const FieldValues &values, QList<bool> *changed)
{
    Assignments a;
    if (!assignments(values, &a, changed))
        return -1;
    const TableSchema &schema = m_store.schema();
    const QString what = QStringLiteral("Fehler beim Ändern");
    TableTransaction tx(m_store);
    if (!tx.isOpen() || !loadKeys(keys))
        return -1;
    qint64 changes = 0;
    auto run = [&](const QString &table, const QString &key, const QStringList &sets, const QList<QVariant> &v) {
        if (sets.isEmpty())
            return true;
        Stmt s = m_store.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 IN (SELECT id FROM temp.vt_keys)")
                                     .arg(table, sets.join(QStringLiteral(", ")), key));
        if (!s)
            return false;
        s.bindAll(v);
        if (s.step() != SQLITE_DONE)
            return m_store.failSql(what);
        changes = std::max<qint64>(changes, sqlite3_changes64(m_store.handle()));
        return true;
    };
    if (!run(kMainTable, schema.keyColumn(), a.mainSets, a.mainValues) ||
        !run(kFlagTable, kFlagKey, a.flagSets, a.flagValues) ||
        !m_store.exec(QStringLiteral("DELETE FROM temp.vt_keys")))
        return -1;
    if (!tx.commit()) {
        m_store.failSql(what);
        return -1;
    }
    return changes;
}

qint64 RecordStatements::deleteKeys(const std::vector<qint64> &keys)
{
    const QString what = QStringLiteral("Fehler beim Löschen");
    TableTransaction tx(m_store);
    qint64 changes = 0;
    if (!tx.isOpen() || !loadKeys(keys) || !deleteLoadedKeys(what, &changes))
        return -1;
    if (!tx.commit()) {
        m_store.failSql(what);
        return -1;
    }
    return changes;
}

bool RecordStatements::duplicates(int field, const QString &indexName, std::vector<DuplicateRow> *out)
{
    out->clear();
    const TableSchema &schema = m_store.schema();
    if (!m_store.checkOpen())
        return false;
    if (field < 0 || field >= schema.fieldCount())
        return m_store.fail(QStringLiteral("Das Feld gibt es in der Tabelle nicht."));
    TableSource src;
    CompiledFilter cf;
    QString orderBy;
    if (!m_store.compile({}, indexName, &src, &cf, &orderBy, {field}))
        return false;
    // One sort by value and order gives each record its place in its group and
    // the group's size; blank values form no group.
    const QString key =
        QStringLiteral("vt_dupkey(%1, %2)").arg(schema.columnRef(field, src)).arg(int(schema.fields().at(field).type));
    Stmt s = m_store.prepare(
        QStringLiteral("SELECT id, rn, n FROM (SELECT %1 AS id, row_number() OVER w AS rn, count(*) OVER "
                       "(w ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING) AS n FROM %2 WHERE %3 IS NOT NULL "
                       "WINDOW w AS (PARTITION BY %3 ORDER BY %4)) WHERE n > 1")
            .arg(src.key, src.from, key, orderBy));
    if (!s)
        return false;
    int rc;
    while ((rc = s.step()) == SQLITE_ROW)
        out->push_back({s.int64At(0), s.int64At(1), s.int64At(2)});
    return rc == SQLITE_DONE || m_store.failSql(QStringLiteral("Lesefehler"));
}

bool RecordStatements::writeWhere(const Filter &where, const QString &what,
                                  const std::function<bool(const TableSource &, const CompiledFilter &)> &statements)
{
    TableSource src;
    CompiledFilter cf;
    if (!m_store.compile(where, QString(), &src, &cf, nullptr))
        return false;
    TableTransaction tx(m_store);
    if (!tx.isOpen() || !statements(src, cf))
        return false;
    return tx.commit() || m_store.failSql(what);
}

} // namespace vt
