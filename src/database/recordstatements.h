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
#include <string>
#include <utility>
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

// How far a change run in batches has come, after each batch: the records it
// went through (position) of all it goes through (total), the records changed
// so far, and the last key of the batch (keys go up from batch to batch).
struct BatchStep
{
    qint64 position = 0;
    qint64 total = 0;
    qint64 changes = 0;
    qint64 lastKey = 0;
};
// Without one a change runs as one batch.
using BatchProgress = std::function<void(const BatchStep &step)>;

// The records of the doubled values of a field (see RecordStatements::duplicates).
struct DuplicateList
{
    std::vector<qint64> keys; // the records of every doubled value, value after value
    std::vector<size_t> ends; // where each value's records end in keys
    QStringList values;       // each value as text, trimmed and in lower case
    size_t valueCount() const { return ends.size(); }
    size_t begin(size_t value) const { return value == 0 ? 0 : ends[value - 1]; }
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
    // changed gets the fields written. Inside an open transaction they join it
    // (a failure then leaves undoing to it). With progress they run in about a
    // hundred batches by key, reported as they go.
    qint64 updateWhere(const Filter &where, const FieldValues &values, QList<bool> *changed,
                       const BatchProgress &progress = {});
    qint64 deleteWhere(const Filter &where, const BatchProgress &progress = {});
    // The same for the records with these keys (keys without a record are passed over).
    qint64 updateKeys(const std::vector<qint64> &keys, const FieldValues &values, QList<bool> *changed,
                      const BatchProgress &progress = {});
    qint64 deleteKeys(const std::vector<qint64> &keys, const BatchProgress &progress = {});

    // The records of the field's doubled values: text compared trimmed of
    // blanks at both ends and without regard to case (FoldedTextKey), a blank
    // value never, other types as they are stored. The values come in the
    // order of their first records in the index's order, and the records of
    // each in that order. progress(read, total) as the records are read.
    bool duplicates(int field, const QString &indexName, DuplicateList *out,
                    const std::function<void(qint64 read, qint64 total)> &progress = {});

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
    bool deleteLoadedKeys(const QString &what, qint64 *changes, const BatchProgress &progress);
    bool updateLoadedKeys(const Assignments &a, const QString &what, qint64 *changes, const BatchProgress &progress);
    // The keys a query lists in ascending order cut into ranges of about equal
    // size: one range over every key without progress, else about a hundred.
    struct KeyRange
    {
        qint64 from, to, upTo; // keys from..to; upTo: the keys up to `to`
    };
    bool keyRanges(const QString &keysSql, bool batched, std::vector<KeyRange> *out, qint64 *total);
    // The ranges over every record of the table.
    bool tableKeyRanges(bool batched, std::vector<KeyRange> *out, qint64 *total);
    // duplicates(): the records of doubled texts that carry blanks at an end
    // join the group of their trimmed value.
    bool mergeTrimmedDuplicates(int field, const TableSource &src, std::vector<std::pair<std::string, qint64>> &trimmed,
                                DuplicateList *out, std::vector<bool> *dropped);

    // Compiles the filter and runs the statements in one transaction; what
    // words a failed commit.
    bool writeWhere(const Filter &where, const QString &what,
                    const std::function<bool(const TableSource &src, const CompiledFilter &cf)> &statements);
    // Runs a statement with its values bound, adding its changes; false (and
    // lastError, worded with what) on failure.
    bool runCounted(const QString &sql, const QList<QVariant> &values, const QString &what, qint64 *changes);

    TableStore &m_store;
};

} // namespace vt
