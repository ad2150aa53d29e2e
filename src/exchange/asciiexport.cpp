#include "asciiexport.h"
#include "definitionfiles.h"
#include "win1252.h"

#include <QSaveFile>

namespace vt {

namespace {

constexpr qsizetype kChunkBytes = 1 << 20;

bool needsQuotes(const QString &value, const QString &delimiter)
{
    for (const QChar c : value)
        if (c == u'"' || c == u'\r' || c == u'\n')
            return true;
    return !delimiter.isEmpty() && value.contains(delimiter);
}

// Appends the line in Windows-1252; false when a character has no place there.
bool appendWin1252(QByteArray &out, const QString &line)
{
    const qsizetype start = out.size();
    out.resize(start + line.size());
    char *d = out.data() + start;
    for (const QChar c : line) {
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

QString trimBlanks(const QString &line)
{
    qsizetype from = 0, to = line.size();
    while (from < to && line.at(from) == u' ')
        ++from;
    while (to > from && line.at(to - 1) == u' ')
        --to;
    return line.mid(from, to - from);
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

void AppendTextExportValue(QString &line, const QString &value, int width, const TextExportOptions &options)
{
    const qsizetype start = line.size();
    if (needsQuotes(value, options.delimiter)) {
        line += u'"';
        for (const QChar c : value) {
            if (c == u'"')
                line += u'"';
            line += c;
        }
        line += u'"';
    } else {
        line += value;
    }
    if (!options.trim) {
        const qsizetype pad = width - (line.size() - start);
        if (pad > 0)
            line.append(QString(pad, u' '));
    }
    line += options.delimiter;
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
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            result.error = ExportWriteFailedText(path, file.errorString());
            return Attempt::Failed;
        }
        QByteArray chunk;
        chunk.reserve(kChunkBytes + 64 * 1024);
        if (utf8)
            chunk.append("\xEF\xBB\xBF");
        bool unfit = false, writeFailed = false;
        auto emitLine = [&](const QString &line) {
            if (utf8) {
                chunk.append(line.toUtf8());
            } else if (!appendWin1252(chunk, line)) {
                unfit = true;
                return false;
            }
            chunk.append("\r\n", 2);
            if (chunk.size() >= kChunkBytes) {
                writeFailed = file.write(chunk) != chunk.size();
                chunk.clear();
            }
            return !writeFailed;
        };

        QString line;
        if (options.header) {
            // The titles keep their padding even when the values lose theirs.
            TextExportOptions titles = options;
            titles.trim = false;
            for (qsizetype k = 0; k < options.fields.size(); ++k)
                AppendTextExportValue(line, table.field(options.fields.at(k)).name, width(k), titles);
            emitLine(options.trim ? trimBlanks(line) : line);
        }
        qint64 rows = 0;
        QString readError;
        const bool read = !unfit && !writeFailed &&
                          ScanTexts(
                              table, selection, options.fields,
                              [&](const QStringList &texts) {
                                  line.clear();
                                  for (qsizetype k = 0; k < texts.size(); ++k)
                                      AppendTextExportValue(line, texts.at(k), width(k), options);
                                  ++rows;
                                  return emitLine(line);
                              },
                              progress, total, &readError);
        if (unfit)
            return Attempt::NeedsUnicode;
        if (!writeFailed && !chunk.isEmpty())
            writeFailed = file.write(chunk) != chunk.size();
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
