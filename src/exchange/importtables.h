#pragma once
// Importing addresses from a table of an old application: a Paradox table
// (".DB", read with pxlib) or a dBase table (".DBF", read with shapelib). Column
// number k is the k-th field of the source table. Every value is taken in its
// text form (dates dd.MM.yyyy, logical values True/False, numbers with a
// decimal comma). Records marked deleted are not imported. A file that is not
// such a table, or is cut short, is refused as a whole.
#include "csvimport.h"
#include "importfields.h"
#include "importsink.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace vt {

class AddressTable;

// The message for a table file that cannot be read.
QString InvalidTableFormatText();

// Whether the path names a table file (".DB" or ".DBF" in any case).
bool IsTableFile(const QString &path);

class SourceTable
{
public:
    virtual ~SourceTable() = default;
    virtual int fieldCount() const = 0;
    virtual qint64 recordCount() const = 0;
    // The values of record i (from 0) as text. False when it cannot be read;
    // deleted is set for a record marked deleted.
    virtual bool read(qint64 i, QStringList *values, bool *deleted) = 0;
};
// Opens a table file by its extension; nullptr when it is none or cannot be read.
std::unique_ptr<SourceTable> OpenSourceTable(const QString &path);

ImportOutcome ImportSourceTable(AddressTable &table, const QList<ImportField> &fields, const QString &path,
                                const QList<int> &columns, ImportProgress &progress);
ImportPreview PreviewSourceTable(const QList<ImportField> &fields, const QString &path, const QList<int> &columns,
                                 int rows);

} // namespace vt
