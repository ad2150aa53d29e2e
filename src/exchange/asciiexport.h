#pragma once
// The text export: one line per record of the chosen fields in the table's
// order, each value padded with blanks to its field's width (unless trimmed)
// and followed by the delimiter, so every line ends with it; an optional title
// line of the field names; CR LF after every line.
//
// A value that holds the delimiter, a quote, CR or LF is put in quotes (a quote
// inside doubled, the padding after the closing quote), so that it reads back
// as one value; every other line is exactly the plain layout. The file is
// Windows-1252 while every character fits; otherwise the export starts again as
// UTF-8 with a byte order mark. It is written under a temporary name and
// replaces the target only when complete.
#include "exportrows.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vt {

struct TextExportOptions
{
    QList<int> fields; // table fields, in the table's order
    QList<int> widths; // the width of each of them
    QString delimiter = QStringLiteral(";");
    bool header = true;
    bool trim = false; // values unpadded; the title line without blanks at its ends
};

// The width of each field of the table: the size column of its line in the
// field definition file (field k on line k + 1), plus 10.
QList<int> TextExportWidths(const QStringList &fieldDefinitions, int fieldCount);

// Why a delimiter cannot be used (a quote or a line break in it); empty when it can.
QString TextExportDelimiterProblem(const QString &delimiter);

ExportResult WriteTextExport(AddressTable &table, const TextExportOptions &options, const ExportSelection &selection,
                             const QString &path, const ExportProgress &progress = {});

} // namespace vt
