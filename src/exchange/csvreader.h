#pragma once
// Reading delimited text files as users bring them: exported from a web shop
// (UTF-8, quoted values with delimiters and line breaks), from a spreadsheet
// ("Unicode text": UTF-16 with tabs) or from an old program (Windows-1252).
//
// The encoding: a byte order mark decides (UTF-8, UTF-16LE, UTF-16BE); else
// UTF-8 when the first megabyte is valid UTF-8; else Windows-1252. The preview
// looks at no more than that first megabyte, and the import decides on the same
// bytes, so both read the file alike. A byte further on that is no UTF-8 in a
// file read as UTF-8 is read as Windows-1252 (a file put together from two
// sources); the scan of the whole file finds such bytes before anything is
// read, so that the user can be told. Lines end at CR LF, LF or a lone CR. Values
// follow RFC 4180 (libcsv): a quoted value may hold the delimiter, doubled
// quotes and line breaks. A quote that is never closed spoils only its own
// line: that line is reported as unreadable and reading goes on after it.
// The file is streamed; only the current record is held.
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vt {

enum class TextSourceEncoding { Utf8, Utf16LE, Utf16BE, Win1252 };

// The start of a text file that decides its encoding.
constexpr qint64 kEncodingSampleBytes = qint64(1) << 20;

// One pass over the file: its encoding and its number of lines.
struct TextSourceScan
{
    bool ok = false;
    QString error; // in the program's words, when !ok
    TextSourceEncoding encoding = TextSourceEncoding::Utf8;
    int bomSize = 0;
    qint64 lines = 0;
    bool complete = false; // the whole file was looked at
    // In a file read as UTF-8: the first line (from 0) with bytes that are no
    // UTF-8 (read as Windows-1252), -1 for none, and how many lines have them.
    qint64 foreignLine = -1;
    qint64 foreignLines = 0;
};
// With a limit only the first bytes are looked at (lines then counts those).
TextSourceScan ScanTextSource(const QString &path, qint64 limit = -1);
// What the user is told before a file read as UTF-8 is imported although it
// has bytes further on that are no UTF-8; "" when it has none.
QString ForeignBytesText(const QString &path, const TextSourceScan &scan);

struct DelimitedFormat
{
    QString delimiters; // every character separates values
    QString quote;      // one character, or empty for none
};

// Why a format cannot be read with, "" when it can.
QString DelimitedFormatError(const DelimitedFormat &format);

class DelimitedTextReader
{
public:
    // values: the record's values, unquoted, not trimmed; line and lastLine:
    // the indexes (from 0) of the lines the record starts and ends on (they
    // differ when a quoted value holds line breaks). Returning false stops the reading.
    using RecordHandler = std::function<bool(const QStringList &values, qint64 line, qint64 lastLine)>;
    using UnreadableHandler = std::function<void(qint64 line)>;

    DelimitedTextReader(const QString &path, const DelimitedFormat &format);
    ~DelimitedTextReader();
    // Scans the file (only its first bytes with a limit, for a look at its
    // start); false (and error()) when it cannot be read as text.
    bool open(qint64 scanLimit = -1);
    qint64 lineCount() const { return m_scan.lines; }
    const TextSourceScan &scan() const { return m_scan; }
    QString error() const { return m_error; }
    // Reads every record in order. False (and error()) when the file could not be read.
    bool read(const RecordHandler &onRecord, const UnreadableHandler &onUnreadable = {});

private:
    struct Parser;
    QString m_path;
    DelimitedFormat m_format;
    TextSourceScan m_scan;
    QString m_error;
};

} // namespace vt
