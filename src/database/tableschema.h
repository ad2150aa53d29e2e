#pragma once
// The layout of a table file and the SQL that depends on it alone.
//
// A file holds the records in "address" and their boolean fields in the narrow
// side table "address_flags" (one row per record, same key); the field and index
// definitions it was made with in "address_fields" and "address_indexes". The
// key of a record is its AutoInc field, or the hidden "vt_rid" in a table
// without one.
#include "fieldtypes.h"

#include <QList>
#include <QString>

namespace vt {

inline const QString kMainTable = QStringLiteral("\"address\"");
inline const QString kFlagTable = QStringLiteral("\"address_flags\"");
inline const QString kFlagKey = QStringLiteral("\"vt_rid\"");

// Where a query reads its fields from: the main part "a", the flag part "f" or
// both joined, and the key column to use.
struct TableSource
{
    QString from, key;
    bool main = true, flags = false;
};

class TableSchema
{
public:
    static constexpr int kFormatVersion = 1;

    // Creates the table file anew; see AddressTable::create.
    static bool create(const QString &path, const QList<FieldDef> &fields, const QList<IndexDef> &indexes,
                       QString *error);

    // Takes the definitions read from a file and builds the statements that
    // depend on them alone.
    void setDefinitions(QList<FieldDef> fields, QList<IndexDef> indexes);
    void clear();

    const QList<FieldDef> &fields() const { return m_fields; }
    const QList<IndexDef> &indexes() const { return m_indexes; }
    int fieldCount() const { return int(m_fields.size()); }
    int fieldIndex(const QString &name) const { return FindField(m_fields, name); }
    // The AutoInc field, -1 when there is none; the quoted key column of "address".
    int keyField() const { return m_keyField; }
    const QString &keyColumn() const { return m_keyColumn; }
    bool hasFlags() const { return m_hasFlags; }

    // Every insert names every column, every read of records every field.
    const QString &insertMainSql() const { return m_insertMainSql; }
    const QString &insertFlagsSql() const { return m_insertFlagsSql; }
    // All fields of the record whose key is bound.
    const QString &readSql() const { return m_readSql; }
    // The key and all fields of up to count records whose keys are bound.
    QString readByKeysSql(int count) const;

    QString columnRef(int field, const TableSource &s) const;
    TableSource sourceFor(const QList<int> &fields) const;
    // Every field of the records, flags joined without dropping a record.
    TableSource wholeRecords() const;
    // The fields of a named index that order the rows (the key is always last).
    QList<int> orderFields(const QString &indexName) const;

private:
    QList<FieldDef> m_fields;
    QList<IndexDef> m_indexes;
    QString m_keyColumn;
    int m_keyField = -1;
    bool m_hasFlags = false;
    QString m_insertMainSql, m_insertFlagsSql, m_readSql;
};

} // namespace vt
