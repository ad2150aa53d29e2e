#pragma once
// The tools that change many records of an address table at once: marking,
// the address check, deleting the marked or invalid records, setting a column,
// removing doubled values and marking by text. Each is one statement or one
// transaction of set-based statements: it changes all it should or, when it
// fails, nothing, and the result's error says why in the user's words.
//
// They work on the whole table whatever its filter, unless said otherwise;
// the caller puts the cursor and the views where it wants them afterwards.
#include "addresstable.h"

#include <QString>

#include <vector>

namespace vt {

struct BulkResult
{
    qint64 count = 0; // records changed, deleted or found, as each tool says
    QString error;    // empty on success
    bool ok() const { return error.isEmpty(); }
};

// The message for a table without an address field.
QString NoMailColumnText();
// The line a question before a change adds: how many records it changes.
QString AffectedRecordsText(qint64 count);

// The records whose boolean field is true ("True"; a blank is not).
Filter IsTrue(const QString &field);

// Sets a boolean field in every record; count: the records of the table.
BulkResult SetBooleanColumn(AddressTable &t, const QString &field, bool value);

// Marks the records whose ID lies from start to end, both included, after
// unmarking every record when asked; count: the records marked by the range.
BulkResult MarkIdRange(AddressTable &t, qint64 start, qint64 end, bool unmarkAllFirst);

// Unmarks every record, then sets Invalid on every record whose address the
// address check rejects (a blank address included); a record whose address
// passes keeps its Invalid. count: the rejected addresses.
BulkResult CheckAllAddresses(AddressTable &t);

// Deletes the records whose boolean field is true; count: the records deleted.
BulkResult DeleteWhereTrue(AddressTable &t, const QString &field);

// Sets a field from a text (the empty text clears it) in every record or in
// the marked ones. A text the field cannot take changes nothing.
BulkResult SetColumnText(AddressTable &t, const QString &field, const QString &text, bool onlyMarked);

// The records of the doubled values of one field in the table's current
// order: text compared without blanks at either end and without regard to
// case (umlauts too), as the table sorts and filters; a blank value is never a
// double of another blank.
struct DuplicateGroups
{
    std::vector<RecordStatements::DuplicateRow> rows; // grouped by value
    qint64 values = 0;                                // the doubled values
    QString error;
    bool ok() const { return error.isEmpty(); }
};
DuplicateGroups FindDuplicates(AddressTable &t, int field);

enum class KeepRecord { Oldest, Newest };
// Deletes every record of each group but its first (Oldest) or its last
// (Newest) in the order found; the one kept from the end is unmarked.
// count: the records deleted.
BulkResult DeleteDuplicates(AddressTable &t, const DuplicateGroups &groups, KeepRecord keep);
// Marks every record of the groups, after unmarking every record when asked;
// count: the records marked.
BulkResult MarkDuplicates(AddressTable &t, const DuplicateGroups &groups, bool unmarkOthers);

// Records in which any field's text form (booleans "True" and "False") holds
// the text, without regard to case. An empty text matches nothing.
Filter AnyFieldContains(const AddressTable &t, const QString &text);
// Marks them among the records under the table's filter; count: the records marked.
BulkResult MarkRecordsContaining(AddressTable &t, const QString &text);

} // namespace vt
