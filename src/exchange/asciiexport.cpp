#include "asciiexport.h"
#include "definitionfiles.h"
#include "win1252.h"

#include <QSaveFile>

namespace vt {

namespace {

constexpr qsizetype kChunkBytes = 1 << 20;

bool needsQuotes(QStringView value, const QString &delimiter)
{
    for (const QChar c : value)
        if (c == u'"' || c == u'\r' || c == u'\n')
            return true;
    return !delimiter.isEmpty() && value.contains(delimiter);
}

// Appends the text in Windows-1252; false when a character has no place there.
bool appendWin1252(QByteArray &out, QStringView text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *d = out.data() + start;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *d++ = char(u);
            continue;
        }
        const int b = Win1252Byte(c);
        if (b < 0)
            return false;
        *d++ = char(b);
    }
    return true;
}

// Builds the lines as bytes of the file's encoding.
class LineWriter
{
public:
    LineWriter(const TextExportOptions &options, bool utf8) : m_options(options), m_utf8(utf8)
    {
        m_fits = encode(m_delimiter, options.delimiter);
    }
    // False once the delimiter or a value did not fit into Windows-1252.
    bool fits() const { return m_fits; }

    // One value as it stands in a line: in quotes when it must be, padded with
    // blanks to its width, followed by the delimiter.
    void value(QByteArray &out, QStringView v, qsizetype width, bool pad)
    {
        qsizetype chars = v.size();
        if (!needsQuotes(v, m_options.delimiter)) {
            m_fits = encode(out, v) && m_fits;
        } else {
            out.append('"');
            for (qsizetype from = 0;;) {
                const qsizetype quote = v.indexOf(u'"', from);
                m_fits = encode(out, v.mid(from, (quote < 0 ? v.size() : quote) - from)) && m_fits;
                if (quote < 0)
                    break;
                out.append("\"\"", 2);
                ++chars;
                from = quote + 1;
            }
            out.append('"');
            chars += 2;
        }
        if (pad && chars < width)
            out.append(width - chars, ' ');
        out.append(m_delimiter);
    }

private:
    bool encode(QByteArray &out, QStringView text) const
    {
        if (m_utf8) {
            AppendUtf8(out, text);
            return true;
        }
        return appendWin1252(out, text);
    }

    const TextExportOptions &m_options;
    const bool m_utf8;
    QByteArray m_delimiter;
    bool m_fits = true;
};

// Takes the blanks off both ends of the bytes from start on.
void trimBlanks(QByteArray &bytes, qsizetype start)
{
    qsizetype from = start, to = bytes.size();
    while (from < to && bytes.at(from) == ' ')
        ++from;
    while (to > from && bytes.at(to - 1) == ' ')
        --to;
    bytes.truncate(to);
    bytes.remove(start, from - start);
}

enum class Attempt { Done, NeedsUnicode, Failed };

} // namespace

QList<int> TextExportWidths(const QStringList &fieldDefinitions, int fieldCount)
{
    QList<int> widths;
    for (int k = 0; k < fieldCount; ++k) {
        const int size =
            k + 1 < fieldDefinitions.size() ? ParseFieldDefinitionLine(fieldDefinitions.at(k + 1)).sizeText.toInt() : 0;
        widths.append(qMax(size, 0) + 10);
    }
    return widths;
}

QString TextExportDelimiterProblem(const QString &delimiter)
{
    if (delimiter.contains(u'"') || delimiter.contains(u'\r') || delimiter.contains(u'\n'))
        return QStringLiteral("Das Trennzeichen darf kein Anführungszeichen (\") und keinen Zeilenumbruch "
                              "enthalten.");
    return {};
}

ExportResult WriteTextExport(AddressTable &table, const TextExportOptions &options, const ExportSelection &selection,
                             const QString &path, const ExportProgress &progress)
{
    ExportResult result;
    result.error = TextExportDelimiterProblem(options.delimiter);
    if (!result.error.isEmpty())
        return result;
    const qint64 total = table.count(selection.where);
    if (total < 0) {
        result.error = table.lastError();
        return result;
    }
    auto width = [&](qsizetype k) { return k < options.widths.size() ? options.widths.at(k) : 10; };

    auto attempt = [&](bool utf8) {
        LineWriter writer(options, utf8);
        if (!writer.fits())
            return Attempt::NeedsUnicode;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            result.error = ExportWriteFailedText(path, file.errorString());
            return Attempt::Failed;
        }
        QByteArray chunk;
        chunk.reserve(kChunkBytes + 64 * 1024);
        if (utf8)
            chunk.append("\xEF\xBB\xBF");
        bool writeFailed = false;
        auto flush = [&] {
            writeFailed = writeFailed || file.write(chunk) != chunk.size();
            chunk.clear();
            return !writeFailed;
        };
        if (options.header) {
            // The titles keep their padding even when the values lose theirs;
            // trimming takes the blanks off the ends of the whole line.
            for (qsizetype k = 0; k < options.fields.size(); ++k)
                writer.value(chunk, table.field(options.fields.at(k)).name, width(k), true);
            if (options.trim)
                trimBlanks(chunk, utf8 ? 3 : 0);
            chunk.append("\r\n", 2);
        }
        if (!writer.fits())
            return Attempt::NeedsUnicode;
        flush();

        // The lines are built and written on the pipeline's thread while the table is read.
        RowPipeline lines([&](const QList<QStringList> &records) {
            for (const QStringList &texts : records) {
                for (qsizetype k = 0; k < texts.size(); ++k)
                    writer.value(chunk, texts.at(k), width(k), !options.trim);
                chunk.append("\r\n", 2);
            }
            return writer.fits() && (chunk.size() < kChunkBytes || flush());
        });
        qint64 rows = 0;
        QString readError;
        const bool read = !writeFailed && ScanTexts(
                                              table, selection, options.fields,
                                              [&](const QStringList &texts) {
                                                  ++rows;
                                                  return lines.push(texts);
                                              },
                                              progress, total, &readError);
        lines.finish(read, flush, [&] {
            if (progress)
                progress(rows, total);
        });
        if (!writer.fits())
            return Attempt::NeedsUnicode;
        if (writeFailed) {
            result.error = ExportWriteFailedText(path, file.errorString());
            return Attempt::Failed;
        }
        if (!read) {
            result.error = readError;
            return Attempt::Failed;
        }
        if (!file.commit()) {
            result.error = ExportWriteFailedText(path, file.errorString());
            return Attempt::Failed;
        }
        result.rows = rows;
        return Attempt::Done;
    };

    Attempt a = attempt(false);
    if (a == Attempt::NeedsUnicode) {
        result.utf8 = true;
        a = attempt(true);
    }
    result.ok = a == Attempt::Done;
    return result;
}

} // namespace vt
