#pragma once
// Importing addresses from a delimited text file: each field of the open
// database takes the value of the source column the user named for it.
#include "csvreader.h"
#include "importfields.h"
#include "importsink.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace vt {

class AddressTable;

struct TextImportSettings
{
    QString path;
    DelimitedFormat format;
    bool skipHeader = false; // the first record holds titles
    QString blacklistPath;   // empty: no blacklist
    QList<int> columns;      // per importable field: its column (from 1), 0 = not taken
    int fixedField = -1;     // an importable field that gets fixedText on every record; -1: none
    QString fixedText;
};

// The values of a record as they are imported: trimmed, and every "*" removed
// unless "*" is the delimiter or the quote.
QStringList PreparedValues(const QStringList &values, const DelimitedFormat &format);
// Value number column (from 1) of prepared values; "" for 0, a negative number
// or a column the record does not have.
QString ColumnValue(const QStringList &values, int column);

// A question to the user before anything is stored: true to go on.
using ImportQuestion = std::function<bool(const QString &text)>;

// Imports the file into the table in one transaction (see ImportSink). When the
// file, read as UTF-8, has bytes further on that are no UTF-8, confirm is asked
// first (ForeignBytesText); its No imports nothing (the outcome is cancelled).
ImportOutcome ImportDelimitedText(AddressTable &table, const QList<ImportField> &fields,
                                  const TextImportSettings &settings, ImportProgress &progress,
                                  const ImportQuestion &confirm = {});

// The first rows as the import would take them (header, blacklist and empty
// records left out), one text per importable field; error says why there are none.
struct ImportPreview
{
    QList<QStringList> rows;
    QString error;
    // Per row of a text file: its first and last line in the file (from 1).
    QList<QPair<qint64, qint64>> lines;
    // What the user should know about the rows shown (records of several lines).
    QString note;
};
ImportPreview PreviewDelimitedText(const QList<ImportField> &fields, const TextImportSettings &settings, int rows);

} // namespace vt
