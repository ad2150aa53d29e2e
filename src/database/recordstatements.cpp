#include "recordstatements.h"
#include "sqlitefunctions.h"
#include "sqlstatement.h"
#include "tablestore.h"
#include "text.h"
#include "textsearch.h"

#include <QHash>

#include <algorithm>
#include <limits>
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

bool RecordStatements::runCounted(const QString &sql, const QList<QVariant> &values, const QString &what,
                                  qint64 *changes)
{
    Stmt s = m_store.prepare(sql);
    if (!s)
        return false;
    s.bindAll(values);
    if (s.step() != SQLITE_DONE)
        return m_store.failSql(what);
    if (changes)
        *changes += sqlite3_changes64(m_store.handle());
    return true;
}

bool RecordStatements::keyRanges(const QString &keysSql, bool batched, std::vector<KeyRange> *out, qint64 *total)
{
    constexpr qint64 kLowest = std::numeric_limits<qint64>::min();
    constexpr qint64 kHighest = std::numeric_limits<qint64>::max();
    out->clear();
    *total = 0;
    {
        Stmt c = m_store.prepare(QStringLiteral("SELECT count(*) FROM (%1)").arg(keysSql));
        if (!c)
            return false;
        if (c.step() != SQLITE_ROW)
            return m_store.failSql(QStringLiteral("Lesefehler"));
        *total = c.int64At(0);
    }
    // Batches of at least a few thousand records: each costs a statement.
    const qint64 batches = batched ? std::clamp<qint64>(*total / 1024, 1, 100) : 1;
    if (batches == 1) {
        out->push_back({kLowest, kHighest, *total});
        return true;
    }
    Stmt s = m_store.prepare(keysSql);
    if (!s)
        return false;
    qint64 seen = 0, from = kLowest;
    int rc;
    while ((rc = s.step()) == SQLITE_ROW) {
        ++seen;
        if (seen == *total * qint64(out->size() + 1) / batches && qint64(out->size()) + 1 < batches) {
            const qint64 key = s.int64At(0);
            out->push_back({from, key, seen});
            from = key + 1;
        }
    }
    if (rc != SQLITE_DONE)
        return m_store.failSql(QStringLiteral("Lesefehler"));
    out->push_back({from, kHighest, *total});
    return true;
}

bool RecordStatements::tableKeyRanges(bool batched, std::vector<KeyRange> *out, qint64 *total)
{
    const TableSchema &schema = m_store.schema();
    // The narrow part holds every key too, and is far quicker to walk.
    return schema.hasFlags()
               ? keyRanges(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(kFlagKey, kFlagTable), batched, out,
                           total)
               : keyRanges(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(schema.keyColumn(), kMainTable), batched,
                           out, total);
}

qint64 RecordStatements::updateWhere(const Filter &where, const FieldValues &values, QList<bool> *changed,
                                     const BatchProgress &progress)
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
        std::vector<KeyRange> ranges;
        qint64 total = 0;
        if (!tableKeyRanges(bool(progress), &ranges, &total))
            return false;
        // With a filter on the part being changed alone, the UPDATE filters
        // directly; otherwise the records are chosen by their keys.
        auto statement = [&](const QString &table, const QString &alias, const QString &key, const QStringList &sets,
                             bool sameSource) {
            if (sets.isEmpty())
                return QString();
            const QString set = sets.join(QStringLiteral(", "));
            if (cf.where == QLatin1String("1"))
                return QStringLiteral("UPDATE %1 SET %2 WHERE %3 BETWEEN ? AND ?").arg(table, set, key);
            if (sameSource)
                return QStringLiteral("UPDATE %1 AS %2 SET %3 WHERE (%4) AND %5 BETWEEN ? AND ?")
                    .arg(table, alias, set, cf.where, src.key);
            return QStringLiteral("UPDATE %1 SET %2 WHERE %3 BETWEEN ? AND ? AND %3 IN (SELECT %4 FROM %5 WHERE "
                                  "(%6) AND %4 BETWEEN ? AND ?)")
                .arg(table, set, key, src.key, src.from, cf.where);
        };
        const bool mainOnly = src.main && !src.flags;
        const bool flagsOnly = src.flags && !src.main;
        const QString mainSql = statement(kMainTable, QStringLiteral("a"), schema.keyColumn(), a.mainSets, mainOnly);
        const QString flagSql = statement(kFlagTable, QStringLiteral("f"), kFlagKey, a.flagSets, flagsOnly);
        auto run = [&](const QString &sql, const QList<QVariant> &setValues, bool sameSource, const KeyRange &r,
                       qint64 *n) {
            if (sql.isEmpty())
                return true;
            const QList<QVariant> range{r.from, r.to};
            QList<QVariant> bound = setValues;
            if (cf.where == QLatin1String("1"))
                bound += range;
            else if (sameSource)
                bound += cf.params + range;
            else
                bound += range + cf.params + range;
            return runCounted(sql, bound, what, n);
        };
        for (const KeyRange &r : ranges) {
            // Both parts change for the same records.
            qint64 inMain = 0, inFlags = 0;
            if (!run(mainSql, a.mainValues, mainOnly, r, &inMain) ||
                !run(flagSql, a.flagValues, flagsOnly, r, &inFlags))
                return false;
            changes += std::max(inMain, inFlags);
            if (progress)
                progress({r.upTo, total, changes, r.to});
        }
        return true;
    });
    return ok ? changes : -1;
}

qint64 RecordStatements::deleteWhere(const Filter &where, const BatchProgress &progress)
{
    const TableSchema &schema = m_store.schema();
    qint64 changes = 0;
    const QString what = QStringLiteral("Fehler beim Löschen");
    const bool ok = writeWhere(where, what, [&](const TableSource &src, const CompiledFilter &cf) {
        if (cf.where == QLatin1String("1")) {
            if (!runCounted(QStringLiteral("DELETE FROM %1").arg(kMainTable), {}, what, &changes) ||
                (schema.hasFlags() && !runCounted(QStringLiteral("DELETE FROM %1").arg(kFlagTable), {}, what, nullptr)))
                return false;
            if (progress)
                progress({changes, changes, changes, std::numeric_limits<qint64>::max()});
            return true;
        }
        // The keys first, then both parts by key: deleting one part must not
        // change which records the filter finds in the other.
        return loadKeys({}) &&
               runCounted(QStringLiteral("INSERT INTO temp.vt_keys SELECT %1 FROM %2 WHERE %3")
                              .arg(src.key, src.from, cf.where),
                          cf.params, what, nullptr) &&
               deleteLoadedKeys(what, &changes, progress);
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
    // In ascending order each key goes at the end of the temporary table.
    std::vector<qint64> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    for (const qint64 k : sorted) {
        s.bind(1, k);
        if (s.step() != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Schreibfehler"));
        sqlite3_reset(s.get());
    }
    return true;
}

namespace {
const QString kLoadedKeys = QStringLiteral("SELECT id FROM temp.vt_keys ORDER BY id");
const QString kLoadedRange = QStringLiteral("SELECT id FROM temp.vt_keys WHERE id BETWEEN ? AND ?");
} // namespace

bool RecordStatements::deleteLoadedKeys(const QString &what, qint64 *changes, const BatchProgress &progress)
{
    const TableSchema &schema = m_store.schema();
    std::vector<KeyRange> ranges;
    qint64 total = 0;
    if (!keyRanges(kLoadedKeys, bool(progress), &ranges, &total))
        return false;
    const QString byKey = QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)");
    const QString main = byKey.arg(kMainTable, schema.keyColumn(), kLoadedRange);
    const QString flags = byKey.arg(kFlagTable, kFlagKey, kLoadedRange);
    for (const KeyRange &r : ranges) {
        const QList<QVariant> range{r.from, r.to};
        if (!runCounted(main, range, what, changes) || (schema.hasFlags() && !runCounted(flags, range, what, nullptr)))
            return false;
        if (progress)
            progress({r.upTo, total, *changes, r.to});
    }
    return m_store.exec(QStringLiteral("DELETE FROM temp.vt_keys"));
}

bool RecordStatements::updateLoadedKeys(const Assignments &a, const QString &what, qint64 *changes,
                                        const BatchProgress &progress)
{
    const TableSchema &schema = m_store.schema();
    std::vector<KeyRange> ranges;
    qint64 total = 0;
    if (!keyRanges(kLoadedKeys, bool(progress), &ranges, &total))
        return false;
    auto statement = [&](const QString &table, const QString &key, const QStringList &sets) {
        return sets.isEmpty() ? QString()
                              : QStringLiteral("UPDATE %1 SET %2 WHERE %3 IN (%4)")
                                    .arg(table, sets.join(QStringLiteral(", ")), key, kLoadedRange);
    };
    const QString main = statement(kMainTable, schema.keyColumn(), a.mainSets);
    const QString flags = statement(kFlagTable, kFlagKey, a.flagSets);
    for (const KeyRange &r : ranges) {
        const QList<QVariant> range{r.from, r.to};
        qint64 inMain = 0, inFlags = 0;
        if ((!main.isEmpty() && !runCounted(main, a.mainValues + range, what, &inMain)) ||
            (!flags.isEmpty() && !runCounted(flags, a.flagValues + range, what, &inFlags)))
            return false;
        *changes += std::max(inMain, inFlags);
        if (progress)
            progress({r.upTo, total, *changes, r.to});
    }
    return m_store.exec(QStringLiteral("DELETE FROM temp.vt_keys"));
}

qint64 RecordStatements::updateKeys(const std::vector<qint64> &keys, const FieldValues &values, QList<bool> *changed,
                                    const BatchProgress &progress)
{
    Assignments a;
    if (!assignments(values, &a, changed))
        return -1;
    const QString what = QStringLiteral("Fehler beim Ändern");
    TableTransaction tx(m_store, TableTransaction::Join);
    qint64 changes = 0;
    if (!tx.isOpen() || !loadKeys(keys) || !updateLoadedKeys(a, what, &changes, progress))
        return -1;
    if (!tx.commit()) {
        m_store.failSql(what);
        return -1;
    }
    return changes;
}

qint64 RecordStatements::deleteKeys(const std::vector<qint64> &keys, const BatchProgress &progress)
{
    const QString what = QStringLiteral("Fehler beim Löschen");
    TableTransaction tx(m_store, TableTransaction::Join);
    qint64 changes = 0;
    if (!tx.isOpen() || !loadKeys(keys) || !deleteLoadedKeys(what, &changes, progress))
        return -1;
    if (!tx.commit()) {
        m_store.failSql(what);
        return -1;
    }
    return changes;
}

// ---------------------------------------------------------------------------
// Doubled values

namespace {

// What makes two stored values of a field that is not text the same: type and
// value (a whole real number is its integer, as SQLite compares them).
void storedKey(sqlite3_stmt *s, int i, std::string *key)
{
    key->clear();
    auto put = [&](char kind, const void *data, size_t n) {
        key->push_back(kind);
        key->append(static_cast<const char *>(data), n);
    };
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(s, i);
        if (d >= -9.2e18 && d <= 9.2e18 && double(qint64(d)) == d) {
            const qint64 v = qint64(d);
            put('i', &v, sizeof v);
        } else {
            put('r', &d, sizeof d);
        }
        break;
    }
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(s, i);
        put('i', &v, sizeof v);
        break;
    }
    case SQLITE_BLOB: {
        const void *data = sqlite3_column_blob(s, i);
        put('b', data, size_t(sqlite3_column_bytes(s, i)));
        break;
    }
    default: {
        const auto *text = sqlite3_column_text(s, i);
        put('t', text, size_t(sqlite3_column_bytes(s, i)));
        break;
    }
    }
}

} // namespace

bool RecordStatements::duplicates(int field, const QString &indexName, DuplicateList *out,
                                  const std::function<void(qint64, qint64)> &progress)
{
    *out = {};
    const TableSchema &schema = m_store.schema();
    if (!m_store.checkOpen())
        return false;
    if (field < 0 || field >= schema.fieldCount())
        return m_store.fail(QStringLiteral("Das Feld gibt es in der Tabelle nicht."));
    const FieldDef &def = schema.fields().at(field);
    const bool text = IsTextType(def.type);
    TableSource src;
    CompiledFilter cf;
    if (!m_store.compile({}, QString(), &src, &cf, nullptr, {field}))
        return false;
    const QString column = schema.columnRef(field, src);
    qint64 total = 0;
    if (progress) {
        Stmt c = m_store.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(src.from));
        if (!c || c.step() != SQLITE_ROW)
            return m_store.failSql(QStringLiteral("Lesefehler"));
        total = c.int64At(0);
    }
    std::vector<std::pair<std::string, qint64>> trimmed;
    {
        // Sorted by value, along the field's index where it has one, equal
        // values follow each other, each in the order of the keys. A text is
        // sorted as the table compares it, without regard to case: only one
        // with blanks at an end (rare) sorts away from its trimmed value.
        Stmt s =
            m_store.prepare(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %1, %2").arg(column, src.key, src.from));
        if (!s)
            return false;
        sqlite3_stmt *st = s.get();
        std::string key, previous;
        std::vector<qint64> run;
        QVariant runValue;
        auto closeRun = [&] {
            if (run.size() > 1) {
                out->keys.insert(out->keys.end(), run.begin(), run.end());
                out->ends.push_back(out->keys.size());
                out->values.append(text ? QString::fromUtf8(previous.data(), qsizetype(previous.size()))
                                        : FoldCase(StoredToText(def, runValue)));
            }
            run.clear();
        };
        qint64 read = 0;
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            if (progress && (++read & 0xFFF) == 0)
                progress(read, total);
            if (sqlite3_column_type(st, 0) == SQLITE_NULL)
                continue;
            const qint64 id = sqlite3_column_int64(st, 1);
            if (text) {
                const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
                const int n = sqlite3_column_bytes(st, 0);
                if (!FoldedTextKey(t, n, &key))
                    continue;
                if (static_cast<unsigned char>(t[0]) <= 32 || static_cast<unsigned char>(t[n - 1]) <= 32) {
                    trimmed.emplace_back(key, id);
                    continue;
                }
            } else {
                storedKey(st, 0, &key);
            }
            if (!run.empty() && key == previous) {
                run.push_back(id);
                if (run.size() == 2 && !text)
                    runValue = columnValue(st, 0);
                continue;
            }
            closeRun();
            std::swap(previous, key);
            run.push_back(id);
        }
        if (rc != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Lesefehler"));
        closeRun();
    }
    std::vector<bool> dropped(out->valueCount(), false);
    if (!trimmed.empty() && !mergeTrimmedDuplicates(field, src, trimmed, out, &dropped))
        return false;

    // Each value's records, and the values by their first records, in the
    // index's order: its place among all records (the key itself in the
    // primary order).
    std::vector<qint64> place(out->keys);
    if (!schema.orderFields(indexName).isEmpty()) {
        QHash<qint64, size_t> slot;
        slot.reserve(qsizetype(out->keys.size()));
        for (size_t i = 0; i < out->keys.size(); ++i)
            slot.insert(out->keys[i], i);
        QString orderBy;
        if (!m_store.compile({}, indexName, &src, &cf, &orderBy))
            return false;
        Stmt o = m_store.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(src.key, src.from, orderBy));
        if (!o)
            return false;
        qint64 at = 0;
        int rc;
        while ((rc = o.step()) == SQLITE_ROW) {
            const auto it = slot.constFind(o.int64At(0));
            if (it != slot.constEnd())
                place[*it] = at;
            ++at;
        }
        if (rc != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Lesefehler"));
    }
    struct Value
    {
        size_t begin, end;
        qint64 first;
    };
    std::vector<Value> kept;
    for (size_t v = 0; v < out->valueCount(); ++v) {
        if (dropped[v])
            continue;
        const size_t b = out->begin(v), e = out->ends[v];
        std::vector<std::pair<qint64, qint64>> byPlace;
        for (size_t i = b; i < e; ++i)
            byPlace.emplace_back(place[i], out->keys[i]);
        std::sort(byPlace.begin(), byPlace.end());
        for (size_t i = b; i < e; ++i) {
            place[i] = byPlace[i - b].first;
            out->keys[i] = byPlace[i - b].second;
        }
        kept.push_back({b, e, place[b]});
    }
    std::sort(kept.begin(), kept.end(), [](const Value &x, const Value &y) { return x.first < y.first; });
    DuplicateList ordered;
    ordered.keys.reserve(out->keys.size());
    ordered.ends.reserve(kept.size());
    for (const Value &v : kept) {
        ordered.keys.insert(ordered.keys.end(), out->keys.begin() + qsizetype(v.begin),
                            out->keys.begin() + qsizetype(v.end));
        ordered.ends.push_back(ordered.keys.size());
        const size_t index = size_t(std::upper_bound(out->ends.begin(), out->ends.end(), v.begin) - out->ends.begin());
        ordered.values.append(out->values.at(qsizetype(index)));
    }
    *out = std::move(ordered);
    if (progress)
        progress(total, total);
    return true;
}

bool RecordStatements::mergeTrimmedDuplicates(int field, const TableSource &src,
                                              std::vector<std::pair<std::string, qint64>> &trimmed, DuplicateList *out,
                                              std::vector<bool> *dropped)
{
    std::sort(trimmed.begin(), trimmed.end());
    QHash<QString, size_t> valueAt;
    for (size_t v = 0; v < out->valueCount(); ++v)
        valueAt.insert(out->values.at(qsizetype(v)), v);
    // The records that hold the trimmed value itself: the column compares
    // without regard to case, so the folded value finds them.
    const QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(src.key, src.from, m_store.schema().columnRef(field, src));
    for (size_t i = 0; i < trimmed.size();) {
        size_t j = i;
        std::vector<qint64> keys;
        while (j < trimmed.size() && trimmed[j].first == trimmed[i].first)
            keys.push_back(trimmed[j++].second);
        const QString value = QString::fromUtf8(trimmed[i].first.data(), qsizetype(trimmed[i].first.size()));
        Stmt s = m_store.prepare(sql);
        if (!s)
            return false;
        s.bind(1, QVariant(value));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            keys.push_back(s.int64At(0));
        if (rc != SQLITE_DONE)
            return m_store.failSql(QStringLiteral("Lesefehler"));
        if (keys.size() > 1) {
            // The records without blanks were a value of their own: they join this one.
            if (const auto it = valueAt.constFind(value); it != valueAt.constEnd())
                (*dropped)[*it] = true;
            std::sort(keys.begin(), keys.end());
            out->keys.insert(out->keys.end(), keys.begin(), keys.end());
            out->ends.push_back(out->keys.size());
            out->values.append(value);
            dropped->push_back(false);
        }
        i = j;
    }
    return true;
}

bool RecordStatements::writeWhere(const Filter &where, const QString &what,
                                  const std::function<bool(const TableSource &, const CompiledFilter &)> &statements)
{
    TableSource src;
    CompiledFilter cf;
    if (!m_store.compile(where, QString(), &src, &cf, nullptr))
        return false;
    TableTransaction tx(m_store, TableTransaction::Join);
    if (!tx.isOpen() || !statements(src, cf))
        return false;
    return tx.commit() || m_store.failSql(what);
}

} // namespace vt
