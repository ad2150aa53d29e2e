#pragma once
// An address table: one SQLite file per table, opened by the full path of its file.
//
// The file holds the records in the table "address", the boolean fields in the
// narrow side table "address_flags" (one row per record, same key), so that
// marking or unmarking every record rewrites a few bytes per record instead of
// every record; and the field and index definitions it was created with in
// "address_fields" and "address_indexes", so the file describes itself. Text
// columns carry the collation VTFOLD (see sqlitefunctions.h): text is sorted,
// filtered and checked for uniqueness without regard to case.
//
// The object works like a dataset with a cursor: the records under the current
// filter in the current order, a current record, browse/edit/insert states. Its
// rows are a list of record IDs, fetched in one query; values are read in pages
// of rows around what is asked for, so only a small part of the table is ever in
// memory. A record's ID is its bookmark.
//
// Bulk tools work set-based: count(), ids(), updateWhere(), deleteWhere() and
// TableAppender, each one statement or one transaction with bound values.
//
// The file, its schema and statements are TableStore's (tablestore.h), the
// rows and pages PageCache's (pagecache.h), the statements that read and write
// records RecordStatements' (recordstatements.h); this class is the cursor over
// them and tells views what changed.
//
// Nothing here throws; a failing call returns false (or -1) and lastError() says why,
// in words the user can be shown.
#include "fieldtypes.h"
#include "filter.h"
#include "pagecache.h"
#include "recordstatements.h"
#include "tableappender.h"
#include "tablestore.h"
#include "textsearch.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace vt {

class AddressTable : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit AddressTable(QObject *parent = nullptr);
    ~AddressTable() override;

    // Creates the table file anew (an existing file of that name is replaced only
    // when creation succeeds). Checks the definitions first: unique field names,
    // string sizes 1 to 255, at most one AutoInc field and one primary index,
    // index fields that exist.
    static bool create(const QString &path, const QList<FieldDef> &fields, const QList<IndexDef> &indexes,
                       QString *error = nullptr);

    bool open(const QString &path);
    // Cancels a pending edit or insert and closes the file.
    void close();
    bool isOpen() const { return m_store.isOpen(); }
    QString fileName() const { return m_path; }
    QString lastError() const { return m_store.lastError(); }

    // Fields, in the order of the field definition file.
    const QList<FieldDef> &fields() const { return m_store.schema().fields(); }
    // The field names in the table's order.
    QStringList fieldNames() const;
    int fieldCount() const { return m_store.schema().fieldCount(); }
    const FieldDef &field(int i) const { return fields().at(i); }
    // Without regard to case; -1 when there is none.
    int fieldIndex(const QString &name) const { return m_store.schema().fieldIndex(name); }
    const QList<IndexDef> &indexes() const { return m_store.schema().indexes(); }

    // Order: by the fields of a named index, ID last; an empty name is the
    // primary order (ID). Keeps the current record.
    bool setIndexName(const QString &name);
    QString indexName() const { return m_indexName; }
    // The filter text and whether it is applied are kept apart: the text may be
    // set while the filter is off. Switching on (or changing the text while on)
    // fails, and leaves things as they were, when the text is not a valid filter.
    // A new filter puts the cursor on the first record.
    bool setFilterText(const QString &text);
    QString filterText() const { return m_filterText; }
    bool setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    // A filter built from values (see filter.h); replaces the text's filter while on.
    bool setFilter(const Filter &filter);
    // The filter that decides the rows now (empty while the filter is off).
    Filter activeFilter() const;

    // The records under the filter.
    qint64 recordCount();
    // Row of the current record (0-based), -1 when there is none.
    qint64 row() const { return m_row; }
    // The ends of a walk: bof after first() or a prior() that could not move, eof
    // after a next() that could not move; both on an empty table.
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool first();
    bool last();
    bool next();
    bool prior();
    bool moveTo(qint64 row);
    // The current record's ID (its bookmark); -1 when there is none.
    qint64 currentId();
    // Goes to the record with that ID; false (cursor unchanged) when it is not
    // among the rows under the filter.
    bool gotoId(qint64 id);
    qint64 idAt(qint64 row);
    qint64 rowOfId(qint64 id);

    // Values of the current record (of the pending edit while editing).
    QVariant value(int field);
    QVariant value(const QString &name);
    QString text(int field);
    QString text(const QString &name);
    bool isBlank(int field);
    // Values of any row, for the grid.
    QVariant valueAt(qint64 row, int field);
    QString textAt(qint64 row, int field);

    State state() const { return m_state; }
    bool edit();
    bool append();
    // Only while editing or inserting. The AutoInc field is never written.
    bool setValue(int field, const QVariant &value);
    bool setValue(const QString &name, const QVariant &value);
    // From the text form (a QString given to setValue is taken the same way).
    bool setText(int field, const QString &text) { return setValue(field, QVariant(text)); }
    bool setText(const QString &name, const QString &text) { return setValue(name, QVariant(text)); }
    // Checks required fields and unique indexes, then writes. A failed post keeps
    // the pending edit, so the user can correct it.
    bool post();
    void cancel();
    // Deletes the current record; the next one becomes current.
    bool remove();

    // Set-based work, whatever the current filter; an empty filter means every record.
    qint64 count(const Filter &where);
    std::vector<qint64> ids(const Filter &where, const QString &indexName = {});
    // Reads some fields of every record under the filter in the index's order in
    // one statement, handing each record's ID and values (natural form) to the
    // callback, which returns false to stop. False on failure.
    bool scan(const Filter &where, const QString &indexName, const QList<int> &fields,
              const std::function<bool(qint64 id, const QList<QVariant> &values)> &callback);
    // The first row from row `from` on (backward: from `from` back to the first)
    // under the filter in the current order whose record matches the search in
    // one of its fields; *row is -1 when none does. False on failure.
    bool findRow(const TextSearch &search, qint64 from, bool backward, qint64 *row);
    // The same with the values as the file stores them (fieldtypes.h), for copies between tables.
    bool scanStored(const Filter &where, const QList<int> &fields,
                    const std::function<bool(qint64 id, const QList<QVariant> &values)> &callback);
    // Some fields of every record under the filter in the index's order, each
    // value as the file holds it and read in place (recordstatements.h); for
    // reads of every record that turn the values into bytes of their own.
    bool scanRaw(const Filter &where, const QString &indexName, const QList<int> &fields,
                 const std::function<bool(const RawValue *values)> &callback);
    // All fields of one record in their natural form; nullopt when it does not exist.
    std::optional<QList<QVariant>> readRecord(qint64 id);
    // Writes the fields of one record, checked like a post; commits at once
    // unless a transaction is open.
    bool updateFields(qint64 id, const FieldValues &values);
    // One UPDATE (per table part) in one transaction; the number of records
    // changed, -1 on failure (then nothing changed). Inside an open
    // transaction they join it. With progress they run in batches and report
    // after each (recordstatements.h).
    qint64 updateWhere(const Filter &where, const FieldValues &values, const BatchProgress &progress = {});
    qint64 deleteWhere(const Filter &where, const BatchProgress &progress = {});
    // The same for the records with these IDs, in one transaction.
    qint64 updateIds(const std::vector<qint64> &ids, const FieldValues &values, const BatchProgress &progress = {});
    qint64 deleteIds(const std::vector<qint64> &ids, const BatchProgress &progress = {});
    // The records whose value of the field another record holds as well (text
    // compared trimmed and without regard to case, blanks never), value after
    // value in the index's order; false on failure.
    bool duplicates(int field, const QString &indexName, DuplicateList *out,
                    const std::function<void(qint64 read, qint64 total)> &progress = {});

    // Transactions nest: only the outermost commits to the file; an inner one
    // that is rolled back undoes only its own part. Use TableTransaction.
    bool beginTransaction();
    bool commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return m_store.inTransaction(); }

    // Reads the rows anew, for records changed through another connection to
    // the file; the current record stays current while it is among them. A
    // pending edit is posted first.
    bool refresh();

    // While controls are disabled no signal is sent; enabling them again sends
    // one rowsReset() and, when records changed meanwhile, one afterBulkChange().
    void disableControls();
    void enableControls();

    // How often rows were read from the file (pages), and how many are held now.
    int pageFetches() const { return m_rows.fetches(); }
    int cachedRowCount() const { return m_rows.heldRows(); }
    static constexpr int kPageRows = 64;
    static constexpr int kMaxPages = 32;

signals:
    void afterOpen();
    void afterClose();
    void afterPost(qint64 id);
    void afterDelete(qint64 id);
    void afterBulkChange();
    // The rows (their set or order) changed: views start again.
    void rowsReset();
    // The values of one row changed.
    void rowChanged(qint64 row);
    void currentRowChanged(qint64 row);
    void stateChanged(vt::AddressTable::State state);

private:
    friend class TableAppender;
    friend class TableTransaction;
    friend class RunJournal;
    // Tests reach the table's own connection (to fill its disk, say) through this.
    friend struct TableConnectionForTests;

    bool fail(const QString &message) { return m_store.fail(message); }
    bool checkOpen() { return m_store.checkOpen(); }
    bool ensureRows();
    // Reads the rows under the filter in place of the present ones; false, and
    // nothing changed, when they cannot be read.
    bool loadRowsOf(const Filter &filter);
    void invalidateRows();
    // After the rows were read anew: the row of record id, or when it is gone
    // the row fallback, kept within the rows (-1 when there are none).
    qint64 keptRow(qint64 id, qint64 fallback);
    QVariant storedAt(qint64 row, int field);
    QVariant naturalOf(int field, const QVariant &stored) const;
    QString textOf(int field, const QVariant &stored) const;
    QVariant currentStored(int field);
    bool touchesRowSet(const QList<bool> &changed) const;
    // Rows, pages and views after a set-based update or deletion.
    void bulkWritten(const QList<bool> &changed);
    void bulkDeleted();
    // Rows, pages and views after record id was written; the cursor stays on stayOn.
    void recordWritten(qint64 id, qint64 stayOn, bool reload);
    bool checkBrowse();
    void setRow(qint64 row);
    void setState(State s);
    void notifyRowsReset();
    void notifyRowChanged(qint64 row);
    void notifyChanged();

    QString m_path;
    TableStore m_store;
    RecordStatements m_records{m_store};
    PageCache m_rows;
    QString m_pageSql; // reads a page of records by their keys

    QString m_indexName;
    QString m_filterText;
    Filter m_builtFilter;
    bool m_useBuiltFilter = false;
    bool m_filtered = false;

    bool m_rowsValid = false;
    QList<int> m_rowSetFields; // fields that decide the rows and their order

    qint64 m_row = -1;
    bool m_bof = true, m_eof = true;
    State m_state = State::Inactive;
    QList<QVariant> m_buffer; // stored form
    QList<bool> m_modified;

    int m_controlsOff = 0;
    bool m_changedPending = false;
};

} // namespace vt
