#pragma once
// Reads and writes of records by statement, with bound values: one record by
// its key, checked like a post, or every record under a filter at once (the
// set-based calls of the bulk tools, one statement or one transaction each).
// The rows and pages of a view know nothing of them: the caller renews those.
#include "filter.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace vt {

class Stmt;
class TableStore;
class TextSearch;
struct TableSource;

// Field name and value (natural form; a QString is taken as the field's text form).
using FieldValues = QList<QPair<QString, QVariant>>;

// One value of a record as the file holds it, read in place: the bytes of a
// text or blob belong to the statement and stay valid until the next record.
struct RawValue
{
    enum Kind : quint8 { Blank, Integer, Real, Text, Blob };
    Kind kind = Blank;
    qint64 integer = 0;
    double real = 0;
    const char *data = nullptr; // a text's UTF-8 as stored (not checked), a blob's bytes
    qsizetype bytes = 0;

    // The stored form (what a scan of stored values hands over).
    QVariant stored() const;
};

class RecordStatements
{
public:
    explicit RecordStatements(TableStore &store) : m_store(store) {}

    // One record, stored form; nullopt (and lastError) when it does not exist.
    std::optional<QList<QVariant>> readStored(qint64 id);
    // The stored values of count records whose keys are given, by a statement
    // of TableSchema::readByKeysSql for at least count keys; see PageCache.
    void readByKeys(const QString &sql, const qint64 *ids, int count, QVariant *values);
    // The field a write names, with its value in the stored form; -1 (and
    // lastError) when the field cannot be written or the value does not fit.
    int writableField(const QString &name, const QVariant &value, QVariant *stored);
    // Required fields and unique indexes, for record id (-1 for a new one) with
    // the changed fields.
    bool checkRecord(qint64 id, const QList<QVariant> &stored, const QList<bool> &changed);
    // Inserts (*id < 0, then *id is the new key) or updates the changed fields.
    bool writeRecord(qint64 *id, const QList<QVariant> &stored, const QList<bool> &changed, bool ownTransaction);
    // Writes some fields of one record, checked like a post; changed gets the
    // fields written.
    bool updateFields(qint64 id, const FieldValues &values, QList<bool> *changed);
    bool deleteRecord(qint64 id);

    qint64 count(const Filter &where);
    // The keys of the records under the filter in the index's order; fields
    // gets the fields that decide them and their order.
    bool loadIds(const Filter &where, const QString &indexName, std::vector<qint64> *out, QList<int> *fields,
                 size_t reserve = 0);
    // Values in their natural form, or as stored when stored is true.
    bool scan(const Filter &where, const QString &indexName, const QList<int> &fields,
              const std::function<bool(qint64 id, const QList<QVariant> &values)> &callback, bool stored = false);
    // The same with the values in place, one per field, without a copy.
    bool scanRaw(const Filter &where, const QString &indexName, const QList<int> &fields,
                 const std::function<bool(const RawValue *values)> &callback);
    // The search through the records (textsearch.h). In the primary order: the
    // first key from key `from` on (backward: down from it) of the records under
    // the filter that match; -1 when none does.
    bool firstMatchingKey(const Filter &where, const TextSearch &search, qint64 from, bool backward, qint64 *key);
    // Which of the keys belong to records that match.
    bool matchingKeys(const TextSearch &search, const qint64 *keys, int count, QSet<qint64> *out);
    // The number of records changed, -1 on failure (then nothing changed);
    // changed gets the fields written.
    qint64 updateWhere(const Filter &where, const FieldValues &values, QList<bool> *changed);
    qint64 deleteWhere(const Filter &where);
    // The same for the records with these keys (keys without a record are passed over).
    qint64 updateKeys(const std::vector<qint64> &keys, const FieldValues &values, QList<bool> *changed);
    qint64 deleteKeys(const std::vector<qint64> &keys);

    // The records of the field's doubled values, each value compared as
    // vt_dupkey (sqlitefunctions.h) makes it: for every record of a value that
    // more than one record holds, its key, its place among them in the index's
    // order (from 1) and their number. Grouped by value, in that order.
    struct DuplicateRow
    {
        qint64 id;
        qint64 rank;
        qint64 groupSize;
    };
    bool duplicates(int field, const QString &indexName, std::vector<DuplicateRow> *out);

private:
    // The statement of scan and scanRaw: the fields under the filter in the
    // index's order, with the key first when withKey; bound, or null on failure.
    Stmt scanStatement(const Filter &where, const QString &indexName, const QList<int> &fields, bool withKey);
    // The SET lists of an update of both parts; false (and lastError) when a
    // value cannot be written.
    struct Assignments
    {
        QStringList mainSets, flagSets;
        QList<QVariant> mainValues, flagValues;
    };
    bool assignments(const FieldValues &values, Assignments *out, QList<bool> *changed);
    // Whether the filter reads the flag part alone; then loadIds can take the
    // keys from it and the order from the main part's index apart.
    bool filtersOnFlagsAlone(const Filter &where);
    bool loadIdsInTwoSteps(const Filter &where, const QString &indexName, std::vector<qint64> *out, size_t reserve);
    // Inside a transaction: the keys to work on into temp.vt_keys, and the
    // deletion of those records from both parts.
    bool loadKeys(const std::vector<qint64> &keys);
    bool deleteLoadedKeys(const QString &what, qint64 *changes);

    // Compiles the filter and runs the statements in one transaction; what
    // words a failed commit.
    bool writeWhere(const Filter &where, const QString &what,
                    const std::function<bool(const TableSource &src, const CompiledFilter &cf)> &statements);

    TableStore &m_store;
};

} // namespace vt
