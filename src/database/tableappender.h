#pragma once
// The fast way to add many records (imports): prepared statements inside one
// transaction, values checked and converted like a post. Nothing is kept unless
// commit() is called.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace vt {

class AddressTable;
class Filter;

class TableAppender
{
public:
    explicit TableAppender(AddressTable &table);
    ~TableAppender();
    TableAppender(const TableAppender &) = delete;
    TableAppender &operator=(const TableAppender &) = delete;
    bool isValid() const { return m_ok; }
    // Values of the next record (a QString is the text form); fields not set stay blank.
    bool setValue(int field, const QVariant &value);
    bool setText(int field, const QString &text) { return setValue(field, QVariant(text)); }
    // A value as a table file of the same field type stores it (a copy between tables).
    bool setStored(int field, const QVariant &stored);
    // Writes the record and starts the next; false when it is refused (the
    // record is skipped, the transaction stays usable).
    bool append();
    // Appends the records of another table file under the filter, in the order
    // of its keys: the value of its field `second` goes into field `first` of
    // the same type, as it is stored; other fields stay blank. Runs inside
    // SQLite, one statement per part of the table. False when the file cannot be
    // read, a value does not fit or a record is refused (the error says which);
    // the batch is then spoilt.
    bool appendFrom(const QString &sourceFile, const Filter &where, const QList<QPair<int, int>> &columns,
                    qint64 *appended);
    // Whether appendFrom() checks all the table checks: not with a unique index
    // besides the key, whose breaches append() reports by record.
    bool canAppendFrom() const;
    bool commit();
    qint64 appendedCount() const { return m_count; }
    QString lastError() const { return m_error; }
    // Whether the last refused append refused only its record (a key the table
    // holds already, a required field left empty, a value that does not fit);
    // false when the table itself failed (a full disk, a damaged or locked file).
    bool recordRefused() const { return m_recordRefused; }

private:
    bool deferIndexes();
    void detachSource();
    // Ends the batch after a failure that spoils it: nothing of it is kept.
    void abandon();

    AddressTable &m_table;
    QList<QVariant> m_values;
    QStringList m_deferred; // indexes to build again at commit
    qint64 m_deferAt = 0;
    QString m_error;
    qint64 m_count = 0;
    bool m_ok = false;
    bool m_done = false;
    bool m_recordRefused = false;
    bool m_attached = false; // a source file of appendFrom is attached to the table's connection
};

} // namespace vt
