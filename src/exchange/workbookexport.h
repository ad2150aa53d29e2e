#pragma once
// The workbook export: one sheet with a title row and one row per record, every
// cell a string (so "01234" stays "01234" and "=1+1" stays text), written as
// .xlsx in libxlsxwriter's constant-memory mode, so that a million records take
// no more memory than ten. The file is written under a temporary name beside the
// target and replaces it only when complete: a failure leaves no half file and
// an existing file as it was.
#include "exportrows.h"

#include <QList>
#include <QString>

namespace vt {

// One column of the sheet: the table field and its title.
struct ExportColumn
{
    int field = -1;
    QString title;
};

// Rows a sheet holds below its title row.
inline constexpr qint64 kWorkbookMaxRows = 1048575;
// Characters a cell holds; a longer value is cut (and counted in the result).
inline constexpr int kWorkbookMaxCellChars = 32767;

// Writes the records of the selection into a new workbook with the one sheet.
// More records than maxRows is refused before anything is written.
ExportResult WriteGridToWorkbook(AddressTable &table, const QList<ExportColumn> &columns, const QString &path,
                                 const QString &sheetName, const ExportSelection &selection,
                                 const ExportProgress &progress = {}, qint64 maxRows = kWorkbookMaxRows);

// The message for a table too large for one sheet.
QString WorkbookTooManyRowsText(qint64 rows, qint64 maxRows = kWorkbookMaxRows);

} // namespace vt
