#pragma once
// The definition files of the address databases, all plain lists of lines whose
// line 0 is a header and whose columns are separated by "|" (read by word
// extraction, so an empty column must be written as blanks, and trimmed):
// - field definition file (.pro): one line per table field;
// - combo definition file (.cb): field | value list for the record editor;
// - filter preset file (.fil): preset name | filter expression;
// - database catalogue (Buttons.ini): display name | picture | definition file;
// - database definition file (.ini): label | table name, one line per table;
// - grid layout file (.grd): the grid's columns, in a format of our own.
#include "addressmodel.h"
#include "fieldtypes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vt {

// Column n (from 1) of a '|' list line, trimmed.
QString ListColumn(const QString &line, int column);

// One line of a field definition file.
struct FieldDefinitionLine
{
    QString name;         // 1
    QString typeWord;     // 2: "ftString", ... compared with case
    QString requiredMark; // 3: "TRUE" in any case makes the field required
    QString sizeText;     // 4: decimal integer
    QString indexName;    // 5: blank without an index of its own
    QString indexFields;  // 6: field names separated by ";"
    QString primaryMark;  // 7: any text makes the index primary (unique)
    QString sortableMark; // 8: "TRUE" in any case lets a title click sort by the index
    QString displayName;  // 9

    bool required() const;
    bool primary() const { return !primaryMark.isEmpty(); }
    bool sortable() const;
};
FieldDefinitionLine ParseFieldDefinitionLine(const QString &line);
// The line the program writes for user column k with its display name.
QString UserColumnDefinitionLine(int k, const QString &displayName);

// The table a field definition file describes, with the lines of its creation
// log. A size that is no number makes ok false; the error says where.
struct TableDefinition
{
    QList<FieldDef> fields;
    QList<IndexDef> indexes;
    QStringList log;
    QString error;
    bool ok() const { return error.isEmpty(); }
};
TableDefinition TableDefinitionFromLines(const QStringList &proLines);

// The drop-down entries of a field from the combo definition lines (the last
// line naming the field counts; names compared with case); nullopt when no line
// names it.
std::optional<QStringList> ComboItems(const QStringList &comboLines, const QString &fieldName);

struct FilterPreset
{
    QString name;
    QString expression;
};
QList<FilterPreset> FilterPresetsFromLines(const QStringList &filterLines);

struct CatalogEntry
{
    QString displayName;
    QString picture;
    QString definitionFile;
};
CatalogEntry CatalogEntryOf(const QString &line);
// The catalogue line (from 1) of a definition file, its name compared exactly
// but without regard to case; the last such line counts; -1 when there is none.
int FindCatalogLine(const QStringList &catalog, const QString &definitionFile);
// The catalogue line the program appends for a database it creates.
QString CatalogLine(const QString &displayName, const QString &definitionFile);

// Column 2 of every line from line 1 of a database definition file.
QStringList DefinitionTableNames(const QStringList &definitionLines);
// The lines of the definition file of a database with one table.
QStringList NewDatabaseDefinition(const QString &tableName);
// The name up to its first "." ("Database.ini" -> "Database").
QString NameBeforeFirstDot(const QString &name);

// Grid layout files. Loading gives nullopt for a file that is missing, not ours
// or holds no column; the grid then shows every field.
bool WriteGridLayoutFile(const QString &path, const QList<GridColumn> &columns);
std::optional<QList<GridColumn>> ReadGridLayoutFile(const QString &path);

} // namespace vt
