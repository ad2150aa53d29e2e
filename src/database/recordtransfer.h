#pragma once
// Copying the records of another database of the catalogue into the open one:
// the fixed fields by name, the user columns as the user maps them, all
// records or only the marked ones, in one transaction (all of them or none).
// Values keep their type where source and target fields agree and go through
// their text form where they do not; a value that the target field cannot hold
// whole stops the transfer.
#include "addresstable.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

namespace vt {

// A user column of a field definition file (its lines from 9 on).
struct UserColumn
{
    QString field;
    QString caption; // the display name, or the field name when there is none
};
QList<UserColumn> UserColumns(const QStringList &fieldDefinitions);

// The table of a database of the catalogue: the first table its definition
// file names, and that table's field definition lines.
struct DatabaseTable
{
    QString tableName;
    QString tableFile; // DataFolder + tableName + ".DB", found without regard to case
    QStringList fieldDefinitions;
};
bool ReadDatabaseTable(const QString &dataFolder, const QString &definitionFile, DatabaseTable *out, QString *error);

// Target field <- source field, for the user columns that are mapped.
using ColumnMapping = QList<QPair<QString, QString>>;

// The records the transfer takes from the source table; -1 on failure.
qint64 CountTransferRecords(const QString &sourceFile, bool onlyMarked, QString *error);

// Appends one record to the target per record of the source table (its marked
// records only when onlyMarked), in the source's primary order. The target's
// own IDs are given anew. progress(done, total) after each record. Nothing is
// appended when anything fails.
bool TransferRecords(AddressTable &target, const QString &sourceFile, bool onlyMarked, const ColumnMapping &columns,
                     const std::function<void(qint64 done, qint64 total)> &progress, qint64 *copied, QString *error);

} // namespace vt
