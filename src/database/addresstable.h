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
// Nothing here throws; a failing call returns false (or -1) and lastError() says why,
// in words the user can be shown.
#include "fieldtypes.h"
#include "filter.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vt {

class Stmt;

// Field name and value (natural form; a QString is taken as the field's text form).
using FieldValues = QList<QPair<QString, QVariant>>;

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
    bool isOpen() const { return m_db != nullptr; }
    QString fileName() const { return m_path; }
    QString lastError() const { return m_error; }
    // The connection (one per open table), for code that wants Qt's SQL classes.
    QSqlDatabase database() const;

    // Fields, in the order of the field definition file.
    const QList<FieldDef> &fields() const { return m_fields; }
    // The field names in the table's order.
    QStringList fieldNames() const;
    int fieldCount() const { return int(m_fields.size()); }
    const FieldDef &field(int i) const { return m_fields.at(i); }
    // Without regard to case; -1 when there is none.
    int fieldIndex(const QString &name) const { return FindField(m_fields, name); }
    const QList<IndexDef> &indexes() const { return m_indexes; }

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
    // All fields of one record in their natural form; nullopt when it does not exist.
    std::optional<QList<QVariant>> readRecord(qint64 id);
    // Writes the fields of one record, checked like a post; commits at once
    // unless a transaction is open.
    bool updateFields(qint64 id, const FieldValues &values);
    // One UPDATE (per table part) in one transaction; the number of records
    // changed, -1 on failure (then nothing changed).
    qint64 updateWhere(const Filter &where, const FieldValues &values);
    qint64 deleteWhere(const Filter &where);

    // Transactions nest: only the outermost commits to the file; an inner one
    // that is rolled back undoes only its own part. Use TableTransaction.
    bool beginTransaction();
    bool commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return m_txDepth > 0; }

    // Reads the rows anew, for records changed through another connection to
    // the file; the current record stays current while it is among them. A
    // pending edit is posted first.
    bool refresh();

    // While controls are disabled no signal is sent; enabling them again sends
    // one rowsReset() and, when records changed meanwhile, one afterBulkChange().
    void disableControls();
    void enableControls();

    // How often rows were read from the file (pages), and how many are held now.
    int pageFetches() const { return m_pageFetches; }
    int cachedRowCount() const;
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
    struct Page
    {
        std::vector<QVariant> values; // stored form, rows x fields
    };
    struct Source
    {
        QString from, key;
        bool main = true, flags = false;
    };

    bool fail(const QString &message);
    bool failSql(const QString &what);
    // False (and lastError) while no table is open.
    bool checkOpen();
    Stmt prepare(const QString &sql);
    bool exec(const QString &sql);
    bool readSchema();
    QString columnRef(int field, const Source &s) const;
    Source sourceFor(const QList<int> &fields) const;
    // Every field of the records, flags joined without dropping a record.
    Source wholeRecords() const;
    QList<int> orderFields(const QString &indexName) const;
    bool compile(const Filter &where, const QString &indexName, Source *src, CompiledFilter *cf, QString *orderBy,
                 const QList<int> &readFields = {});
    // Whether the filter can be applied to this table (lastError says why not),
    // and which fields it reads.
    bool checkFilter(const Filter &where, QList<int> *fields = nullptr);
    bool loadIds(const Filter &where, const QString &indexName, std::vector<qint64> *out, QList<int> *fields);
    bool runSimple(const QString &sql);
    std::optional<QList<QVariant>> readStored(qint64 id);
    bool ensureRows();
    // Reads the rows under the filter in place of the present ones; false, and
    // nothing changed, when they cannot be read.
    bool loadRowsOf(const Filter &filter);
    void invalidateRows();
    void invalidatePages();
    const Page *page(qint64 pageNo);
    qint64 heldRowOfId(qint64 id) const;
    // After the rows were read anew: the row of record id, or when it is gone
    // the row fallback, kept within the rows (-1 when there are none).
    qint64 keptRow(qint64 id, qint64 fallback);
    QVariant storedAt(qint64 row, int field);
    QVariant naturalOf(int field, const QVariant &stored) const;
    QString textOf(int field, const QVariant &stored) const;
    QVariant currentStored(int field);
    // The field a write names, with its value in the stored form; -1 (and
    // lastError) when the field cannot be written or the value does not fit.
    int writableField(const QString &name, const QVariant &value, QVariant *stored);
    bool checkRecord(qint64 id, const QList<QVariant> &stored, const QList<bool> &changed);
    bool writeRecord(qint64 *id, const QList<QVariant> &stored, const QList<bool> &changed, bool ownTransaction);
    bool touchesRowSet(const QList<bool> &changed) const;
    // Rows, pages and views after record id was written; the cursor stays on stayOn.
    void recordWritten(qint64 id, qint64 stayOn, bool reload);
    bool checkBrowse();
    void setRow(qint64 row);
    void setState(State s);
    void notifyRowsReset();
    void notifyRowChanged(qint64 row);
    void notifyChanged();

    QString m_path;
    QString m_connection;
    sqlite3 *m_db = nullptr;
    QString m_error;
    QHash<QString, sqlite3_stmt *> m_statements;

    QList<FieldDef> m_fields;
    QList<IndexDef> m_indexes;
    QString m_keyColumn; // quoted rowid column of "address"
    int m_keyField = -1; // the AutoInc field, -1 when there is none
    bool m_hasFlags = false;
    // Statements that depend only on the fields, built when the table is opened.
    QString m_insertMainSql, m_insertFlagsSql, m_readSql, m_pageSql;

    QString m_indexName;
    QString m_filterText;
    Filter m_builtFilter;
    bool m_useBuiltFilter = false;
    bool m_filtered = false;

    std::vector<qint64> m_ids;
    bool m_rowsValid = false;
    QList<int> m_rowSetFields; // fields that decide the rows and their order
    QHash<qint64, Page> m_pages;
    QList<qint64> m_pageLru;
    int m_pageFetches = 0;

    qint64 m_row = -1;
    bool m_bof = true, m_eof = true;
    State m_state = State::Inactive;
    QList<QVariant> m_buffer; // stored form
    QList<bool> m_modified;

    int m_txDepth = 0;
    int m_controlsOff = 0;
    bool m_changedPending = false;
};

// A transaction on a table; rolled back unless committed.
class TableTransaction
{
public:
    explicit TableTransaction(AddressTable &table) : m_table(table), m_open(table.beginTransaction()) {}
    ~TableTransaction()
    {
        if (m_open)
            m_table.rollbackTransaction();
    }
    bool isOpen() const { return m_open; }
    bool commit()
    {
        if (!m_open)
            return false;
        m_open = false;
        return m_table.commitTransaction();
    }
    TableTransaction(const TableTransaction &) = delete;
    TableTransaction &operator=(const TableTransaction &) = delete;

private:
    AddressTable &m_table;
    bool m_open;
};

// The fast way to add many records (imports): prepared statements inside one
// transaction, values checked and converted like a post. Nothing is kept unless
// commit() is called.
class TableAppender
{
public:
    explicit TableAppender(AddressTable &table);
    ~TableAppender();
    bool isValid() const { return m_ok; }
    // Values of the next record (a QString is the text form); fields not set stay blank.
    bool setValue(int field, const QVariant &value);
    bool setText(int field, const QString &text) { return setValue(field, QVariant(text)); }
    // Writes the record and starts the next; false when it is refused (the
    // record is skipped, the transaction stays usable).
    bool append();
    bool commit();
    qint64 appendedCount() const { return m_count; }
    QString lastError() const { return m_error; }

private:
    AddressTable &m_table;
    bool deferIndexes();

    QList<QVariant> m_values;
    QStringList m_deferred; // indexes to build again at commit
    qint64 m_deferAt = 0;
    QString m_error;
    qint64 m_count = 0;
    bool m_ok = false;
    bool m_done = false;
};

} // namespace vt
