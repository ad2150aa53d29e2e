#pragma once
// The fields an import may fill, and the column map of the text and table import.
#include <QList>
#include <QString>
#include <QStringList>

namespace vt {

// A field of the open database that an import may fill: the fields of the field
// definition file from Mail on, in the file's order.
struct ImportField
{
    QString name;
    QString displayName; // the display name, or the field name when it has none
};
QList<ImportField> ImportableFields(const QStringList &fieldDefinitions);

// The column map file of a database: DataFolder + the definition file's name up
// to its first "." + ".imp".
QString ColumnMapPath(const QString &dataFolder, const QString &databaseIniName);
// The column boxes' texts for fieldCount fields: box k (from 1) takes line k
// when the file has more than k lines, else "0"; a missing file gives all "0".
QStringList ReadColumnMap(const QString &path, int fieldCount);
// Writes the boxes' texts as they stand, then the delimiter trimmed.
bool WriteColumnMap(const QString &path, const QStringList &boxes, const QString &delimiter, QString *error = nullptr);

// A whole decimal number with an optional sign ("12", "-3", "+0").
bool IsIntegerText(const QString &text);

} // namespace vt
