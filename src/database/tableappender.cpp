#include "tableappender.h"
#include "addresstable.h"
#include "sqlstatement.h"

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
}

void TableAppender::abandon()
{
    m_ok = false;
    m_table.rollbackTransaction();
    m_done = true;
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
    m_table.invalidateRows();
    m_table.notifyRowsReset();
    m_table.notifyChanged();
    return ok;
}

} // namespace vt
