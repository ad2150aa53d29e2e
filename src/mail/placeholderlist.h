#pragma once
// The list of the placeholders a mail template of the open database may use.
#include <QString>
#include <QStringList>

namespace vt {

// From the field definition lines (line 0 the header, line 5 the field Mail):
// "$" + the field name in upper case + " für " + its display name (without a
// display name the placeholder alone) for each field from Mail on, then
// "$DATUM für aktuelles Datum"; lines end in "\r". A user column above the
// highest that is replaced during sending is left out.
QString PlaceholderListText(const QStringList &fieldDefinitions);

} // namespace vt
