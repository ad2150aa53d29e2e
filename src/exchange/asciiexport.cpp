#include "asciiexport.h"
#include "definitionfiles.h"
#include "win1252.h"

#include <cstring>
#include <vector>

namespace vt {

namespace {

constexpr qsizetype kChunkBytes = 1 << 20;
// One being filled, two waiting, one being written.
constexpr int kChunkSlots = 4;

// Builds the lines as bytes of the file's encoding from values in UTF-8.
class LineWriter
{
public:
    LineWriter(const TextExportOptions &options, bool utf8) : m_utf8(utf8), m_special(specialBytes(options.delimiter))
    {
        AppendUtf8(m_delimiterUtf8, options.delimiter);
        m_delimiter.resize(m_delimiterUtf8.size());
        qsizetype chars = 0;
        char *end = transcode(m_delimiter.data(), m_delimiterUtf8, 0, false, &chars);
        m_delimiter.resize(end - m_delimiter.constData());
    }
    // False once the delimiter or a value did not fit into Windows-1252.
    bool fits() const { return m_fits; }

    // The most bytes value() writes for a value of that size.
    qsizetype bound(qsizetype size, qsizetype width, bool pad) const
    {
        // Doubled quotes and the two around the value at most double its bytes and add two.
        return 2 * size + 2 + (pad ? qMax<qsizetype>(width, 0) : 0) + m_delimiter.size();
    }

    // One value as it stands in a line, written at d (room for bound() bytes):
    // in quotes when it must be, padded with blanks to its width, followed by the
    // delimiter. Returns the end of what it wrote.
    char *value(char *d, QByteArrayView v, qsizetype width, bool pad)
    {
        qsizetype chars = v.size();
        const qsizetype special = m_special.find(v.data(), v.size());
        if (special < 0) {
            // Plain ASCII without a character that asks for quotes: as it is.
            std::memcpy(d, v.data(), size_t(v.size()));
            d += v.size();
        } else {
            const bool quoted = needsQuotes(v, special);
            if (quoted) {
                *d++ = '"';
                chars += 2;
            }
            std::memcpy(d, v.data(), size_t(special));
            d = transcode(d + special, v, special, quoted, &chars);
            if (quoted)
                *d++ = '"';
        }
        if (pad && chars < width) {
            std::memset(d, ' ', size_t(width - chars));
            d += width - chars;
        }
        std::memcpy(d, m_delimiter.constData(), size_t(m_delimiter.size()));
        return d + m_delimiter.size();
    }

    // The same, appended to out.
    void value(QByteArray &out, QByteArrayView v, qsizetype width, bool pad)
    {
        const qsizetype start = out.size();
        out.resize(start + bound(v.size(), width, pad));
        out.resize(value(out.data() + start, v, width, pad) - out.constData());
    }

private:
    // The bytes that send a value the careful way: a quote, CR, LF, the first
    // byte of the delimiter, and every byte of a character beyond ASCII (which
    // the finder stops at anyway).
    static ByteFinder specialBytes(const QString &delimiter)
    {
        const char16_t first = delimiter.isEmpty() ? u'"' : delimiter.at(0).unicode();
        return ByteFinder{'"', '\r', '\n', first < 0x80 ? char(first) : '"'};
    }

    // Whether the value holds a quote, CR, LF or the delimiter; none stands
    // before from (the first special byte).
    bool needsQuotes(QByteArrayView v, qsizetype from) const
    {
        for (qsizetype i = from; i < v.size(); ++i) {
            const char c = v[i];
            if (c == '"' || c == '\r' || c == '\n')
                return true;
        }
        return !m_delimiterUtf8.isEmpty() && v.indexOf(m_delimiterUtf8, from) >= 0;
    }

    // Writes the bytes of v from `from` on in the file's encoding, a quote
    // doubled when quoted; chars, which starts as the number of bytes, becomes
    // the number of UTF-16 code units (the unit the widths are counted in).
    // A character without a place in Windows-1252 ends the value and fits().
    char *transcode(char *d, QByteArrayView v, qsizetype from, bool quoted, qsizetype *chars)
    {
        const auto *p = reinterpret_cast<const unsigned char *>(v.data());
        const qsizetype n = v.size();
        for (qsizetype i = from; i < n;) {
            const unsigned char c = p[i];
            if (c < 0x80) {
                *d++ = char(c);
                if (c == '"' && quoted) {
                    *d++ = '"';
                    ++*chars;
                }
                ++i;
                continue;
            }
            const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            if (n - i < length) {
                m_fits = false; // cannot happen with the values the scan gives
                break;
            }
            *chars -= length == 4 ? 2 : length - 1;
            if (m_utf8) {
                std::memcpy(d, p + i, size_t(length));
                d += length;
            } else {
                char32_t u = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
                for (int k = 1; k < length; ++k)
                    u = (u << 6) | (p[i + k] & 0x3F);
                const int b = u >= 0xA0 && u <= 0xFF ? int(u) : u < 0x10000 ? Win1252Byte(QChar(char16_t(u))) : -1;
                if (b < 0) {
                    m_fits = false;
                    break;
                }
                *d++ = char(b);
            }
            i += length;
        }
        return d;
    }

    const bool m_utf8;
    const ByteFinder m_special;
    QByteArray m_delimiterUtf8;
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
    QList<qsizetype> widths;
    for (qsizetype k = 0; k < options.fields.size(); ++k)
        widths.append(k < options.widths.size() ? options.widths.at(k) : 10);

    auto attempt = [&](bool utf8) {
        LineWriter writer(options, utf8);
        if (!writer.fits())
            return Attempt::NeedsUnicode;
        ExportTarget target(path);
        if (!target.create(&result.error))
            return Attempt::Failed;
        QFile &file = target.file();
        // The bytes go to the file on a thread of their own, a chunk at a time,
        // while the next lines are built.
        std::vector<QByteArray> chunks(kChunkSlots);
        for (QByteArray &c : chunks)
            c.reserve(kChunkBytes + 64 * 1024);
        bool writeFailed = false; // read once the thread is done
        SlotPipeline fileWriter(kChunkSlots, [&](int slot) {
            QByteArray &bytes = chunks[size_t(slot)];
            writeFailed = file.write(bytes) != bytes.size();
            bytes.resize(0);
            return !writeFailed;
        });
        auto chunk = [&]() -> QByteArray & { return chunks[size_t(fileWriter.current())]; };
        auto flush = [&] { return chunk().isEmpty() || fileWriter.handOver(); };
        if (utf8)
            chunk().append("\xEF\xBB\xBF");
        if (options.header) {
            // The titles keep their padding even when the values lose theirs;
            // trimming takes the blanks off the ends of the whole line.
            QByteArray title;
            for (qsizetype k = 0; k < options.fields.size(); ++k) {
                title.resize(0);
                AppendUtf8(title, table.field(options.fields.at(k)).name);
                writer.value(chunk(), title, widths.at(k), true);
            }
            if (options.trim)
                trimBlanks(chunk(), utf8 ? 3 : 0);
            chunk().append("\r\n", 2);
        }
        if (!writer.fits())
            return Attempt::NeedsUnicode;
        flush();

        // The lines are built on the pipeline's thread while the table is read.
        const bool pad = !options.trim;
        RowPipeline lines(int(options.fields.size()), [&](const TextRows &records) {
            QByteArray *bytes = &chunk();
            for (qsizetype r = 0; r < records.rows(); ++r) {
                // Room for the whole line first, then the values one after the other.
                qsizetype room = 2;
                for (int k = 0; k < records.columns(); ++k)
                    room += writer.bound(records.cell(r, k).size(), widths.at(k), pad);
                const qsizetype start = bytes->size();
                bytes->resize(start + room);
                char *d = bytes->data() + start;
                for (int k = 0; k < records.columns(); ++k)
                    d = writer.value(d, records.cell(r, k), widths.at(k), pad);
                *d++ = '\r';
                *d++ = '\n';
                bytes->resize(d - bytes->constData());
                if (bytes->size() >= kChunkBytes) {
                    if (!flush())
                        return false;
                    bytes = &chunk();
                }
            }
            return writer.fits();
        });
        qint64 rows = 0;
        QString readError;
        const bool read = !fileWriter.stopped() && ScanUtf8(
                                                       table, selection, options.fields,
                                                       [&](TextRows &texts) {
                                                           rows += texts.rows();
                                                           return lines.push(texts);
                                                       },
                                                       progress, total, &readError);
        lines.finish(
            read, [&] { return flush() && fileWriter.finish(true, {}, {}); },
            [&] {
                if (progress)
                    progress(rows, total);
            });
        fileWriter.finish(false, {}, {});
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
        if (!target.commit(&result.error))
            return Attempt::Failed;
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
