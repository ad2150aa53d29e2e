#include "tableappender.h"
#include "addresstable.h"
#include "sqlstatement.h"
#include "tableschema.h"
#include "tablestore.h"

#include <algorithm>

namespace vt {

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
    detachSource();
}

void TableAppender::abandon()
{
    m_ok = false;
    m_table.rollbackTransaction();
    m_done = true;
    detachSource();
}

void TableAppender::detachSource()
{
    // Only outside the transaction.
    if (m_attached && !m_table.inTransaction()) {
        m_table.m_store.exec(QStringLiteral("DETACH DATABASE vt_source"));
        m_attached = false;
    }
}

bool TableAppender::setValue(int field, const QVariant &value)
{
    if (!m_ok || field < 0 || field >= m_table.fieldCount() || field == m_table.m_store.schema().keyField()) {
        m_error = QStringLiteral("Das Feld kann nicht gesetzt werden.");
        return false;
    }
    return NaturalToStored(m_table.field(field), value, &m_values[field], &m_error);
}

bool TableAppender::setStored(int field, const QVariant &stored)
{
    if (!m_ok || field < 0 || field >= m_table.fieldCount() || field == m_table.m_store.schema().keyField()) {
        m_error = QStringLiteral("Das Feld kann nicht gesetzt werden.");
        return false;
    }
    m_values[field] = stored;
    return true;
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
    RecordStatements &records = m_table.m_records;
    m_recordRefused = false;
    if (!records.checkRecord(-1, values, {})) {
        m_error = m_table.lastError();
        m_recordRefused = true;
        return false;
    }
    if (!records.writeRecord(&id, values, {}, false)) {
        // A refused record leaves nothing behind when its first statement
        // failed; a record half written spoils the whole batch.
        m_error = m_table.lastError();
        m_recordRefused = id < 0 && (sqlite3_errcode(m_table.m_store.handle()) & 0xFF) == SQLITE_CONSTRAINT;
        if (id >= 0)
            abandon();
        return false;
    }
    if (++m_count == m_deferAt && !deferIndexes()) {
        abandon();
        return false;
    }
    return true;
}

bool TableAppender::canAppendFrom() const
{
    const TableSchema &schema = m_table.m_store.schema();
    const QString key = schema.keyField() >= 0 ? schema.fields().at(schema.keyField()).name : QString();
    return std::none_of(schema.indexes().begin(), schema.indexes().end(), [&](const IndexDef &x) {
        return x.primary && !(x.fields.size() == 1 && x.fields.first().compare(key, Qt::CaseInsensitive) == 0);
    });
}

bool TableAppender::appendFrom(const QString &sourceFile, const Filter &where, const QList<QPair<int, int>> &columns,
                               qint64 *appended)
{
    *appended = 0;
    if (!m_ok || m_done)
        return false;
    TableStore &store = m_table.m_store;
    const TableSchema &to = store.schema();
    QList<FieldDef> sourceFields;
    TableSource src;
    CompiledFilter cf;
    {
        // The source's layout and the query of its records, then its rows through our connection.
        TableStore source;
        QList<int> read;
        for (const auto &c : columns)
            read.append(c.second);
        if (!source.open(sourceFile) || !source.compile(where, QString(), &src, &cf, nullptr, read)) {
            m_error = source.lastError();
            return false;
        }
        sourceFields = source.schema().fields();
        const QString sourceKeyColumn = source.schema().keyColumn();
        for (const auto &c : columns)
            if (c.first < 0 || c.first >= to.fieldCount() || c.first == to.keyField() || c.second < 0 ||
                c.second >= sourceFields.size() || to.fields().at(c.first).type != sourceFields.at(c.second).type) {
                m_error = QStringLiteral("Die Felder passen nicht zueinander.");
                return false;
            }
        QStringList refs;
        for (const auto &c : columns)
            refs.append(source.schema().columnRef(c.second, src));
        src.from.replace(kMainTable, QStringLiteral("vt_source.") + kMainTable);
        src.from.replace(kFlagTable, QStringLiteral("vt_source.") + kFlagTable);
        if (!m_attached) {
            Stmt attach = store.prepare(QStringLiteral("ATTACH DATABASE ? AS vt_source"));
            if (!attach) {
                m_error = store.lastError();
                return false;
            }
            attach.bind(1, QVariant(sourceFile));
            if (attach.step() != SQLITE_DONE) {
                store.failSql(QStringLiteral("Die Quelltabelle kann nicht gelesen werden"));
                m_error = store.lastError();
                return false;
            }
            m_attached = true;
        }
        auto firstKey = [&](const QString &condition, qint64 *key) {
            Stmt s = store.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE (%3) AND (%4) ORDER BY %1 LIMIT 1")
                                       .arg(src.key, src.from, cf.where, condition));
            if (!s)
                return false;
            s.bindAll(cf.params);
            const int rc = s.step();
            *key = rc == SQLITE_ROW ? s.int64At(0) : -1;
            return rc == SQLITE_ROW || rc == SQLITE_DONE || store.failSql(QStringLiteral("Lesefehler"));
        };
        // What the table would cut or refuse is found first, with the record it belongs to.
        for (int k = 0; k < columns.size(); ++k) {
            const FieldDef &f = to.fields().at(columns.at(k).first);
            const FieldDef &from = sourceFields.at(columns.at(k).second);
            qint64 key = -1;
            if (f.type == FieldType::String && from.size > f.size &&
                !firstKey(QStringLiteral("length(%1) > %2").arg(refs.at(k)).arg(f.size), &key)) {
                m_error = store.lastError();
                return false;
            }
            if (key >= 0) {
                m_error = QStringLiteral("Der Datensatz mit der ID %1 kann nicht übernommen werden: der Wert des "
                                         "Felds \"%2\" ist länger als die %3 Zeichen des Felds \"%4\".")
                              .arg(key)
                              .arg(from.name)
                              .arg(f.size)
                              .arg(f.name);
                m_recordRefused = true;
                return false;
            }
        }
        for (int i = 0; i < to.fieldCount(); ++i) {
            if (!to.fields().at(i).required || i == to.keyField())
                continue;
            int k = 0;
            while (k < columns.size() && columns.at(k).first != i)
                ++k;
            qint64 key = -1;
            if (!firstKey(k < columns.size() ? refs.at(k) + QStringLiteral(" IS NULL") : QStringLiteral("1"), &key)) {
                m_error = store.lastError();
                return false;
            }
            if (key >= 0) {
                m_error = QStringLiteral("Der Datensatz mit der ID %1 kann nicht übernommen werden: Feld \"%2\" "
                                         "muss einen Wert haben.")
                              .arg(key)
                              .arg(to.fields().at(i).name);
                m_recordRefused = true;
                return false;
            }
        }
        // The new keys follow the highest one given so far, in the order of the source's keys.
        qint64 base = 0;
        {
            Stmt s = store.prepare(
                QStringLiteral("SELECT max(ifnull((SELECT seq FROM sqlite_sequence WHERE name = 'address'), 0), "
                               "ifnull((SELECT max(%1) FROM %2), 0))")
                    .arg(to.keyColumn(), kMainTable));
            if (!s || s.step() != SQLITE_ROW) {
                store.failSql(QStringLiteral("Lesefehler"));
                m_error = store.lastError();
                return false;
            }
            base = s.int64At(0);
        }
        // A numbered list of the source's keys in their order gives each record
        // its new key (the highest so far plus its number), and the records are
        // read along it part by part: no part needs the other, nothing is sorted.
        TableSource keysSrc;
        CompiledFilter keysCf;
        if (!source.compile(where, QString(), &keysSrc, &keysCf, nullptr)) {
            m_error = source.lastError();
            return false;
        }
        keysSrc.from.replace(kMainTable, QStringLiteral("vt_source.") + kMainTable);
        keysSrc.from.replace(kFlagTable, QStringLiteral("vt_source.") + kFlagTable);
        if (!store.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS vt_map (n INTEGER PRIMARY KEY, k INTEGER)")) ||
            !store.exec(QStringLiteral("DELETE FROM temp.vt_map"))) {
            m_error = store.lastError();
            abandon();
            return false;
        }
        qint64 coming = 0;
        {
            Stmt s = store.prepare(QStringLiteral("INSERT INTO temp.vt_map (k) SELECT %1 FROM %2 WHERE %3 ORDER BY %1")
                                       .arg(keysSrc.key, keysSrc.from, keysCf.where));
            if (s)
                s.bindAll(keysCf.params);
            if (!s || s.step() != SQLITE_DONE) {
                store.failSql(QStringLiteral("Lesefehler"));
                m_error = store.lastError();
                abandon();
                return false;
            }
            coming = sqlite3_changes64(store.handle());
        }
        const QString newKey = QStringLiteral("%1 + m.n").arg(base);
        QStringList mainCols{to.keyColumn()}, mainValues{newKey}, flagCols{kFlagKey}, flagValues{newKey};
        bool readsMain = false, readsFlags = false;
        for (int k = 0; k < columns.size(); ++k) {
            const bool flag = to.fields().at(columns.at(k).first).type == FieldType::Boolean;
            (flag ? flagCols : mainCols).append(quotedName(to.fields().at(columns.at(k).first).name));
            (flag ? flagValues : mainValues).append(refs.at(k));
            (flag ? readsFlags : readsMain) = true;
        }
        auto insert = [&](const QString &table, const QStringList &cols, const QStringList &values,
                          const QString &join) {
            Stmt s = store.prepare(
                QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM temp.vt_map m %4 ORDER BY m.n")
                    .arg(table, cols.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")), join));
            return s && (s.step() == SQLITE_DONE || store.failSql(QStringLiteral("Fehler beim Übernehmen")));
        };
        const QString mainJoin =
            readsMain ? QStringLiteral("JOIN vt_source.%1 a ON a.%2 = m.k").arg(kMainTable, sourceKeyColumn)
                      : QString();
        const QString flagJoin =
            readsFlags ? QStringLiteral("JOIN vt_source.%1 f ON f.%2 = m.k").arg(kFlagTable, kFlagKey) : QString();
        // As in append(): a batch that reaches the deferral size builds the
        // ordinary indexes once at the end.
        if (m_deferred.isEmpty() && m_count < m_deferAt && m_count + coming >= m_deferAt && !deferIndexes()) {
            abandon();
            return false;
        }
        if (!insert(kMainTable, mainCols, mainValues, mainJoin)) {
            m_error = store.lastError();
            abandon();
            return false;
        }
        *appended = sqlite3_changes64(store.handle());
        if (to.hasFlags() && !insert(kFlagTable, flagCols, flagValues, flagJoin)) {
            m_error = store.lastError();
            abandon();
            return false;
        }
        if (!store.exec(QStringLiteral("DELETE FROM temp.vt_map"))) {
            m_error = store.lastError();
            abandon();
            return false;
        }
        m_count += *appended;
    }
    return true;
}

bool TableAppender::deferIndexes()
{
    TableStore &store = m_table.m_store;
    // Unique indexes stay: each record is checked against them.
    Stmt s = store.prepare(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' "
                                          "AND sql IS NOT NULL AND sql NOT LIKE 'CREATE UNIQUE%'"));
    if (!s) {
        m_error = store.lastError();
        return false;
    }
    QStringList names;
    while (s.step() == SQLITE_ROW) {
        names.append(s.valueAt(0).toString());
        m_deferred.append(s.valueAt(1).toString());
    }
    for (const QString &n : names)
        if (!store.exec(QStringLiteral("DROP INDEX ") + quotedName(n))) {
            m_error = store.lastError();
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
        if (!m_table.m_store.exec(sql)) {
            m_error = m_table.lastError();
            m_table.rollbackTransaction();
            return false;
        }
    const bool ok = m_table.commitTransaction();
    if (!ok)
        m_error = m_table.lastError();
    detachSource();
    m_table.invalidateRows();
    m_table.notifyRowsReset();
    m_table.notifyChanged();
    return ok;
}

} // namespace vt
