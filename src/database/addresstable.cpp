#include "addresstable.h"
#include "text.h"

#include <algorithm>

namespace vt {

AddressTable::AddressTable(QObject *parent)
    : QObject(parent), m_rows(kPageRows, kMaxPages, [this](const qint64 *ids, int count, QVariant *values) {
          m_records.readByKeys(m_pageSql, ids, count, values);
      })
{
    m_store.onRolledBack([this] {
        invalidateRows();
        notifyRowsReset();
    });
}

AddressTable::~AddressTable()
{
    // No signals to receivers that may be half destroyed already.
    blockSignals(true);
    close();
}

bool AddressTable::create(const QString &path, const QList<FieldDef> &fields, const QList<IndexDef> &indexes,
                          QString *error)
{
    return TableSchema::create(path, fields, indexes, error);
}

// ---------------------------------------------------------------------------
// Opening and closing

bool AddressTable::open(const QString &path)
{
    close();
    if (!m_store.open(path))
        return false;
    m_path = path;
    m_rows.setFieldCount(fieldCount());
    m_pageSql = m_store.schema().readByKeysSql(kPageRows);
    m_state = State::Browse;
    m_indexName.clear();
    m_filtered = false;
    m_useBuiltFilter = false;
    invalidateRows();
    ensureRows();
    m_row = m_rows.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.isEmpty();
    emit stateChanged(m_state);
    emit afterOpen();
    emit rowsReset();
    return true;
}

void AddressTable::close()
{
    if (!m_store.isOpen())
        return;
    const bool wasOpen = m_state != State::Inactive;
    m_store.close();
    m_pageSql.clear();
    m_rows.clear();
    m_rowsValid = false;
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
    if (!isOpen())
        return false;
    std::vector<qint64> ids;
    const bool ok = m_records.loadIds(activeFilter(), m_indexName, &ids, &m_rowSetFields, m_rows.ids().capacity());
    m_rows.setRows(std::move(ids));
    m_rowsValid = ok;
    return ok;
}

void AddressTable::invalidateRows()
{
    m_rowsValid = false;
    m_rows.dropPages();
}

qint64 AddressTable::keptRow(qint64 id, qint64 fallback)
{
    const qint64 r = rowOfId(id);
    return r >= 0 ? r : std::min<qint64>(fallback, m_rows.rowCount() - 1);
}

QVariant AddressTable::storedAt(qint64 row, int field)
{
    if (!ensureRows())
        return {};
    return m_rows.value(row, field);
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
        std::none_of(indexes().begin(), indexes().end(), [&](const IndexDef &x) { return EqualsNoCase(x.name, name); }))
        return fail(QStringLiteral("Den Index \"%1\" gibt es in der Tabelle nicht.").arg(name));
    if (!checkBrowse())
        return false;
    const qint64 id = currentId();
    m_indexName = name;
    invalidateRows();
    ensureRows();
    m_row = keptRow(id, 0);
    m_bof = m_row <= 0;
    m_eof = m_rows.isEmpty();
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
    m_eof = m_rows.isEmpty();
    notifyRowsReset();
    return true;
}

bool AddressTable::loadRowsOf(const Filter &filter)
{
    // The rows are read before anything changes: a filter that compiles may
    // still be one SQLite cannot run (too many values, say), and then the table
    // stays as it was.
    if (!m_store.checkFilter(filter))
        return false;
    std::vector<qint64> ids;
    QList<int> fields;
    if (!m_records.loadIds(filter, m_indexName, &ids, &fields, m_rows.ids().capacity()))
        return fail(QStringLiteral("Der Filter kann nicht angewendet werden. %1").arg(lastError()));
    m_rows.setRows(std::move(ids));
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
    if (on && !m_store.checkFilter(Filter::parse(m_filterText)))
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
    if (!m_store.checkFilter(filter) || !checkBrowse() || !loadRowsOf(filter))
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
    return ensureRows() ? m_rows.rowCount() : 0;
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
    setRow(m_rows.isEmpty() ? -1 : 0);
    m_bof = true;
    m_eof = m_rows.isEmpty();
    return m_row >= 0;
}

bool AddressTable::last()
{
    if (!checkBrowse() || !ensureRows())
        return false;
    setRow(m_rows.rowCount() - 1);
    m_bof = m_rows.isEmpty();
    m_eof = true;
    return m_row >= 0;
}

bool AddressTable::next()
{
    if (!checkBrowse() || !ensureRows())
        return false;
    if (m_row + 1 < m_rows.rowCount()) {
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
    if (!checkBrowse() || !ensureRows() || row < 0 || row >= m_rows.rowCount())
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
    return ensureRows() ? m_rows.idAt(row) : -1;
}

qint64 AddressTable::rowOfId(qint64 id)
{
    // The primary order is ascending IDs.
    return ensureRows() ? m_rows.rowOfId(id, m_indexName.isEmpty()) : -1;
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
    return field >= 0 && field < fieldCount() ? StoredToNatural(this->field(field), stored) : QVariant();
}

QStringList AddressTable::fieldNames() const
{
    QStringList names;
    names.reserve(fieldCount());
    for (const FieldDef &f : fields())
        names.append(f.name);
    return names;
}

QString AddressTable::textOf(int field, const QVariant &stored) const
{
    return field >= 0 && field < fieldCount() ? StoredToText(this->field(field), stored) : QString();
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
    const QVariant v = currentStored(field);
    return !v.isValid() || v.isNull();
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
    if (field == m_store.schema().keyField())
        return fail(QStringLiteral("Das Feld \"%1\" vergibt die Tabelle selbst.").arg(this->field(field).name));
    QVariant stored;
    QString err;
    if (!NaturalToStored(this->field(field), value, &stored, &err))
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
    if (!m_records.checkRecord(id, m_buffer, m_modified) || !m_records.writeRecord(&id, m_buffer, m_modified, true))
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
        if (m_rows.isEmpty())
            m_bof = m_eof = true;
        notifyRowsReset();
    } else if (m_rowsValid) {
        // Only a row that is held can be on screen; others are read fresh when
        // they are shown. Looking in the held pages costs the same for any order.
        const qint64 r = m_rows.heldRowOfId(id);
        if (r >= 0) {
            m_rows.dropPageOf(r);
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
    if (!m_records.deleteRecord(id))
        return false;
    m_rows.removeRow(m_row);
    if (m_row >= m_rows.rowCount())
        m_row = m_rows.rowCount() - 1;
    m_bof = m_rows.isEmpty();
    m_eof = m_rows.isEmpty();
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
    return m_records.count(where);
}

std::vector<qint64> AddressTable::ids(const Filter &where, const QString &indexName)
{
    std::vector<qint64> out;
    if (!m_records.loadIds(where, indexName, &out, nullptr, m_rows.ids().capacity()))
        out.clear();
    return out;
}

bool AddressTable::scan(const Filter &where, const QString &indexName, const QList<int> &fields,
                        const std::function<bool(qint64, const QList<QVariant> &)> &callback)
{
    return m_records.scan(where, indexName, fields, callback);
}

bool AddressTable::findRow(const TextSearch &search, qint64 from, bool backward, qint64 *row)
{
    *row = -1;
    if (!checkOpen() || !ensureRows())
        return false;
    const qint64 n = m_rows.rowCount();
    if (from < 0 || from >= n || search.findsNothing())
        return true;
    if (m_indexName.isEmpty()) {
        // The primary order is ascending keys: one statement walks the file from the key on.
        qint64 key = -1;
        if (!m_records.firstMatchingKey(activeFilter(), search, m_rows.idAt(from), backward, &key))
            return false;
        if (key >= 0)
            *row = rowOfId(key);
        return true;
    }
    // Another order: the rows' keys in batches, in the order of the walk.
    constexpr qint64 kWalk = 2000;
    std::vector<qint64> keys;
    for (qint64 at = from; backward ? at >= 0 : at < n;) {
        keys.clear();
        for (qint64 r = at; keys.size() < size_t(kWalk) && (backward ? r >= 0 : r < n); r += backward ? -1 : 1)
            keys.push_back(m_rows.idAt(r));
        QSet<qint64> found;
        if (!m_records.matchingKeys(search, keys.data(), int(keys.size()), &found))
            return false;
        for (size_t k = 0; k < keys.size(); ++k)
            if (found.contains(keys[k])) {
                *row = backward ? at - qint64(k) : at + qint64(k);
                return true;
            }
        at += backward ? -kWalk : kWalk;
    }
    return true;
}

bool AddressTable::scanStored(const Filter &where, const QList<int> &fields,
                              const std::function<bool(qint64, const QList<QVariant> &)> &callback)
{
    if (!checkOpen())
        return false;
    return m_records.scan(where, QString(), fields, callback, true);
}

bool AddressTable::scanRaw(const Filter &where, const QString &indexName, const QList<int> &fields,
                           const std::function<bool(const RawValue *)> &callback)
{
    if (!checkOpen())
        return false;
    return m_records.scanRaw(where, indexName, fields, callback);
}

std::optional<QList<QVariant>> AddressTable::readRecord(qint64 id)
{
    std::optional<QList<QVariant>> out = m_records.readStored(id);
    if (out)
        for (int i = 0; i < fieldCount(); ++i)
            (*out)[i] = StoredToNatural(field(i), out->at(i));
    return out;
}

bool AddressTable::updateFields(qint64 id, const FieldValues &values)
{
    QList<bool> changed;
    if (!m_records.updateFields(id, values, &changed))
        return false;
    recordWritten(id, currentId(), touchesRowSet(changed));
    return true;
}

qint64 AddressTable::updateWhere(const Filter &where, const FieldValues &values, const BatchProgress &progress)
{
    QList<bool> changed;
    const qint64 changes = m_records.updateWhere(where, values, &changed, progress);
    if (changes < 0 || values.isEmpty())
        return changes;
    bulkWritten(changed);
    return changes;
}

qint64 AddressTable::updateIds(const std::vector<qint64> &ids, const FieldValues &values, const BatchProgress &progress)
{
    QList<bool> changed;
    const qint64 changes = m_records.updateKeys(ids, values, &changed, progress);
    if (changes < 0 || values.isEmpty())
        return changes;
    bulkWritten(changed);
    return changes;
}

void AddressTable::bulkWritten(const QList<bool> &changed)
{
    if (touchesRowSet(changed) && m_rowsValid) {
        const qint64 current = currentId();
        invalidateRows();
        ensureRows();
        m_row = keptRow(current, m_row);
    }
    m_rows.dropPages();
    notifyRowsReset();
    notifyChanged();
}

qint64 AddressTable::deleteWhere(const Filter &where, const BatchProgress &progress)
{
    if (!checkOpen())
        return -1;
    if (m_state == State::Edit || m_state == State::Insert)
        cancel();
    const qint64 changes = m_records.deleteWhere(where, progress);
    if (changes >= 0)
        bulkDeleted();
    return changes;
}

qint64 AddressTable::deleteIds(const std::vector<qint64> &ids, const BatchProgress &progress)
{
    if (!checkOpen())
        return -1;
    if (m_state == State::Edit || m_state == State::Insert)
        cancel();
    const qint64 changes = m_records.deleteKeys(ids, progress);
    if (changes >= 0)
        bulkDeleted();
    return changes;
}

bool AddressTable::duplicates(int field, const QString &indexName, DuplicateList *out,
                              const std::function<void(qint64, qint64)> &progress)
{
    return m_records.duplicates(field, indexName, out, progress);
}

void AddressTable::bulkDeleted()
{
    const qint64 current = currentId();
    const qint64 oldRow = m_row;
    invalidateRows();
    ensureRows();
    m_row = keptRow(current, oldRow);
    m_bof = m_eof = m_rows.isEmpty();
    notifyRowsReset();
    notifyChanged();
}

// ---------------------------------------------------------------------------
// Transactions and notifications

bool AddressTable::beginTransaction()
{
    return m_store.beginTransaction();
}

bool AddressTable::commitTransaction()
{
    return m_store.commitTransaction();
}

void AddressTable::rollbackTransaction()
{
    m_store.rollbackTransaction();
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

TableTransaction::TableTransaction(AddressTable &table, Mode mode) : TableTransaction(table.m_store, mode)
{
}

} // namespace vt
