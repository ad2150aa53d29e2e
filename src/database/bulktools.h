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

#include <functional>
#include <vector>

namespace vt {

struct BulkResult
{
    qint64 count = 0; // records changed, deleted or found, as each tool says
    QString error;    // empty on success
    bool ok() const { return error.isEmpty(); }
};

// What a long tool reports as it goes: how far it has come of how far it
// goes, in the units each tool names; called after each of about a hundred
// batches. The caller decides what to show and how often.
using BulkProgress = std::function<void(qint64 done, qint64 total)>;

// The message for a table without an address field.
QString NoMailColumnText();

// The records whose boolean field is true ("True"; a blank is not).
Filter IsTrue(const QString &field);

// Sets a boolean field in every record; count: the records of the table.
BulkResult SetBooleanColumn(AddressTable &t, const QString &field, bool value);

// Marks the records whose ID lies from start to end, both included, after
// unmarking every record when asked; count: the records marked by the range.
// progress(records marked, records of the table).
BulkResult MarkIdRange(AddressTable &t, qint64 start, qint64 end, bool unmarkAllFirst,
                       const BulkProgress &progress = {});

// Unmarks every record, then sets Invalid on every record whose address the
// address check rejects (a blank address included); a record whose address
// passes keeps its Invalid. count: the rejected addresses. progress(records
// checked, records).
BulkResult CheckAllAddresses(AddressTable &t, const BulkProgress &progress = {});

// Deletes the records whose boolean field is true; count: the records deleted.
// progress(records deleted, records to delete).
BulkResult DeleteWhereTrue(AddressTable &t, const QString &field, const BulkProgress &progress = {});

// Sets a field from a text (the empty text clears it) in every record or in
// the marked ones. A text the field cannot take changes nothing.
// progress(records gone through, records).
BulkResult SetColumnText(AddressTable &t, const QString &field, const QString &text, bool onlyMarked,
                         const BulkProgress &progress = {});

// The records of the doubled values of one field: text compared without
// blanks at either end and without regard to case (umlauts too), as the table
// sorts and filters; a blank value is never a double of another blank. The
// values come in the table's current order of their first records, the
// records of each value in that order.
struct DuplicateGroups
{
    DuplicateList list;
    QString error;
    bool ok() const { return error.isEmpty(); }
    qint64 values() const { return qint64(list.valueCount()); }
};
// progress(records read, records).
DuplicateGroups FindDuplicates(AddressTable &t, int field, const BulkProgress &progress = {});
// Writes the doubled values, one a line in lower case, to a text file (the
// program's code page, UTF-8 when a value needs it).
bool WriteDuplicateValues(const DuplicateGroups &groups, const QString &path, QString *error);

enum class KeepRecord { Oldest, Newest };
// Deletes every record of each value but its first (Oldest) or its last
// (Newest) in the order found; the one kept from the end is unmarked.
// count: the records deleted. progress(values done, values).
BulkResult DeleteDuplicates(AddressTable &t, const DuplicateGroups &groups, KeepRecord keep,
                            const BulkProgress &progress = {});
// Marks every record of the values, after unmarking every record when asked;
// count: the records marked. unmarking(records gone through, records),
// marking(values done, values).
BulkResult MarkDuplicates(AddressTable &t, const DuplicateGroups &groups, bool unmarkOthers,
                          const BulkProgress &marking = {}, const BulkProgress &unmarking = {});

// Records in which any field's text form (booleans "True" and "False") holds
// the text, without regard to case. An empty text matches nothing.
Filter AnyFieldContains(const AddressTable &t, const QString &text);
// Marks them among the records under the table's filter; count: the records marked.
BulkResult MarkRecordsContaining(AddressTable &t, const QString &text);

} // namespace vt
