#pragma once
// Creating, deleting and clearing address databases: the files of a database
// in the data folder (definition file base + ".ini", field, combo and filter
// definition files ".pro", ".cb", ".fil", the table ".DB" with its creation log
// ".log") and its line in the catalogue "Buttons.ini" of the program folder.
//
// Nothing here shows a message: each call returns false and an error text in
// the program's words, and what it could not finish is undone.
#include <QString>
#include <QStringList>

namespace vt {

// The fixed fields of every database, as the new-database dialog lists them.
QStringList FixedFieldNames();

inline constexpr int kMaxDatabaseNameLength = 26;
inline constexpr int kMaxUserColumns = 170;

// The checks of the new-database dialog, in order: a name, its length, the
// number of column lines, names given twice (the fixed fields included), and
// characters the catalogue or the definition files cannot keep. The message of
// the first check that fails, or an empty text.
QString CheckNewDatabaseInput(const QString &name, const QStringList &columnLines);

// Whether an entry of the data folder, or the definition file's name in the
// program folder, already has the base name (compared without regard to case).
bool DatabaseNameTaken(const QString &appFolder, const QString &dataFolder, const QString &fileName);
QString DatabaseNameTakenText(const QString &fileName);

// The display name of the user column of a column line: trimmed, without ":",
// "\", "/", ".", "*" and "|"; empty when the line adds no column.
QString UserColumnName(const QString &columnLine);
// A new database's field definition lines: the template's header and fixed
// fields (its lines 0 to 8), then "Spalte" k for each column line k (from 1)
// that leaves a name; a line that leaves none still uses up its number.
QStringList NewFieldDefinitionLines(const QStringList &templateLines, const QStringList &columnLines);

// Creates the table file DataFolder + table + ".DB" from its field definition
// file and writes the creation log; an existing table file is replaced only by
// a complete new one.
bool CreateTableFile(const QString &dataFolder, const QString &tableName, QString *error);

struct NewDatabase
{
    QString caption;  // the name shown in the catalogue
    QString fileName; // the base name of every file (MakeSafeName of the caption)
    QStringList columnLines;
};
// Makes a new database: its combo and filter definition files copied from the
// templates "database.cb" and "database.fil", its field definition file from
// "database.pro" and the column lines, its definition file and its table, then
// appends its catalogue line. When anything fails nothing of it remains.
bool CreateDatabase(const QString &appFolder, const QString &dataFolder, const NewDatabase &db, QString *error);

// The catalogue without the line whose definition file (column 3) is the given
// one, compared whole and without regard to case; the header line stays.
QStringList CatalogWithout(const QStringList &catalog, const QString &definitionFile);
// Deletes every file of the data folder named after the database (its base
// name, a ".", any extension) and its sender list "Absender-" + definition
// file, then removes its catalogue line. False when a file could not be
// deleted (the catalogue line then stays, so the database can be deleted again).
bool DeleteDatabase(const QString &appFolder, const QString &dataFolder, const QString &definitionFile, QString *error);

} // namespace vt
