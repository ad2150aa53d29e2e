#include "csvimport.h"

#include "addresstable.h"
#include "importblacklist.h"
#include "text.h"
#include "textfile.h"

namespace vt {

namespace {

// Reading the records of a text source with the rules both the import and the
// preview apply: the header record, empty records and blacklisted ones are left out.
class TextSource
{
public:
    explicit TextSource(const TextImportSettings &s) : m_settings(s), m_reader(s.path, s.format) {}

    // False (and error) when the file or the blacklist cannot be read.
    bool open(qint64 scanLimit = -1)
    {
        if (!m_reader.open(scanLimit)) {
            m_error = m_reader.error();
            return false;
        }
        if (!m_settings.blacklistPath.isEmpty() && !m_blacklist.load(m_settings.blacklistPath)) {
            m_error = CannotOpenFileText(m_settings.blacklistPath);
            return false;
        }
        return true;
    }
    QString error() const { return m_error; }

    qint64 lineCount() const { return m_reader.lineCount(); }
    const TextSourceScan &scan() const { return m_reader.scan(); }

    // handler(prepared values, first and last line index from 0); returns false to stop.
    template <class Handler> bool read(Handler &&handler, const DelimitedTextReader::UnreadableHandler &unreadable)
    {
        bool header = m_settings.skipHeader;
        const QChar joint = m_settings.format.delimiters.at(0);
        const bool ok = m_reader.read(
            [&](const QStringList &values, qint64 line, qint64 lastLine) {
                if (header) {
                    header = false;
                    return true;
                }
                const QStringList prepared = PreparedValues(values, m_settings.format);
                if (prepared.size() == 1 && prepared.at(0).isEmpty())
                    return true;
                if (!m_blacklist.isEmpty() && m_blacklist.matches(prepared.join(joint)))
                    return true;
                return handler(prepared, line, lastLine);
            },
            unreadable);
        if (!ok)
            m_error = m_reader.error();
        return ok;
    }

private:
    const TextImportSettings &m_settings;
    DelimitedTextReader m_reader;
    ImportBlacklist m_blacklist;
    QString m_error;
};

} // namespace

QStringList PreparedValues(const QStringList &values, const DelimitedFormat &format)
{
    const QChar star = QLatin1Char('*');
    const bool keepStars = format.delimiters.contains(star) || format.quote.contains(star);
    QStringList out;
    out.reserve(values.size());
    for (const QString &v : values) {
        if (!keepStars && v.contains(star))
            out.append(Trimmed(QString(v).remove(star)));
        else
            out.append(Trimmed(v));
    }
    return out;
}

QString ColumnValue(const QStringList &values, int column)
{
    return column >= 1 && column <= values.size() ? values.at(column - 1) : QString();
}

ImportOutcome ImportDelimitedText(AddressTable &table, const QList<ImportField> &fields,
                                  const TextImportSettings &settings, ImportProgress &progress,
                                  const ImportQuestion &confirm)
{
    TextSource source(settings);
    if (!source.open()) {
        ImportOutcome failed;
        failed.failed = true;
        failed.error = source.error();
        return failed;
    }
    const QString foreign = ForeignBytesText(settings.path, source.scan());
    if (!foreign.isEmpty() && confirm && !confirm(foreign)) {
        ImportOutcome cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    ImportSink sink(table);
    if (!sink.isValid())
        return sink.outcome();
    // Each mapped field once, by the table's own field index.
    QList<QPair<int, int>> mapped; // table field, column
    for (qsizetype k = 0; k < fields.size(); ++k) {
        const int column = settings.columns.value(k);
        const int f = sink.field(fields.at(k).name);
        if (column > 0 && f >= 0)
            mapped.append({f, column});
    }
    const int fixed = settings.fixedField >= 0 && settings.fixedField < fields.size()
                          ? sink.field(fields.at(settings.fixedField).name)
                          : -1;
    const QString fixedText = Trimmed(settings.fixedText);
    const qint64 lines = source.lineCount();
    const bool ok = source.read(
        [&](const QStringList &values, qint64 line, qint64 lastLine) {
            for (const auto &[f, column] : std::as_const(mapped))
                sink.setText(f, ColumnValue(values, column));
            if (fixed >= 0)
                sink.setText(fixed, fixedText);
            if (lastLine > line)
                sink.spansLines(line + 1, lastLine + 1);
            sink.post(line + 1);
            progress.report(line, lines);
            return sink.isValid();
        },
        [&](qint64 line) { sink.skip(line + 1, QStringLiteral("Ein Anführungszeichen wird nicht geschlossen.")); });
    if (!ok) {
        sink.abandon(source.error());
        return sink.outcome();
    }
    if (sink.isValid())
        sink.commit();
    return sink.outcome();
}

ImportPreview PreviewDelimitedText(const QList<ImportField> &fields, const TextImportSettings &settings, int rows)
{
    ImportPreview preview;
    TextSource source(settings);
    // The start of the file tells its encoding, as it does for the import.
    if (!source.open(kEncodingSampleBytes)) {
        preview.error = source.error();
        return preview;
    }
    if (rows <= 0)
        return preview;
    const bool ok = source.read(
        [&](const QStringList &values, qint64 line, qint64 lastLine) {
            QStringList row;
            for (qsizetype k = 0; k < fields.size(); ++k)
                row.append(ColumnValue(values, settings.columns.value(k)));
            if (settings.fixedField >= 0 && settings.fixedField < row.size())
                row[settings.fixedField] = Trimmed(settings.fixedText);
            preview.rows.append(row);
            preview.lines.append({line + 1, lastLine + 1});
            return preview.rows.size() < rows;
        },
        {});
    if (!ok)
        preview.error = source.error();
    QList<QPair<qint64, qint64>> spans;
    for (const auto &span : std::as_const(preview.lines))
        if (span.second > span.first)
            spans.append(span);
    preview.note = MultiLineText(spans.size(), spans, true);
    return preview;
}

} // namespace vt
