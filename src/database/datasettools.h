#pragma once
// Small helpers on an open address table that several windows share.
#include "addresstable.h"

#include <QString>

namespace vt {

// Index of the field named "MAIL" in any case; -1 without one or without a table.
int FindMailField(const AddressTable *table);
// Index of the field with that name, compared without regard to case; -1 without one.
int FindFieldByName(const QString &name, const AddressTable *table);

// The addresses of the marked records under the table's filter, in its order,
// each once, joined by the separator: the text form of the field, trimmed; empty
// values and those without "@" or "." are left out. An address that fails the
// address check stands as "-1". A table without a selection field (the last
// field whose name contains "SELECTED") takes every record, and shows each bad
// address in a message box ("Falsche E-Mail-Adresse: ..."), where it stands as
// "Þ". Afterwards the table's filter is off and it stands on its last record.
QString BuildAddressString(AddressTable *table, int addressField, const QString &separator);

} // namespace vt
