#pragma once
// Where every importer writes: the open address table, through one transaction.
//
// Each imported record is marked for the next mailing (Selected true), is not
// invalid (Invalid false), has no date of a last mail, and gets the importer's
// values as text (the table converts them into its field types). Nothing is
// kept until commit(): a failure of the table rolls the whole import back. A
// row whose value does not fit its field (text in a number field, say) is
// skipped and counted; a text is kept whole, however long its field.
// Neither the address nor duplicates are checked: removing duplicates is a
// command of its own.
#include "addresstable.h"

#include <QElapsedTimer>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vt {

// What an import did, for the message at its end.
struct ImportOutcome
{
    static constexpr int kListedLines = 10;

    qint64 imported = 0;
    // Rows that could not be read or stored; the first few by line (from 1),
    // or for sources of one file per record by the file's name.
    qint64 skipped = 0;
    QList<qint64> skippedLines;
    QStringList skippedNames;
    QString firstSkipReason;
    // Records whose quoted values run over line breaks: how many, and the first
    // few by their first and last line (from 1). Legal, but a quote that is never
    // closed makes one record of many lines, so the user is told.
    qint64 multiLine = 0;
    QList<QPair<qint64, qint64>> multiLineSpans;
    // Nothing was imported: the source could not be read, or the table refused.
    bool failed = false;
    QString error;
    // Nothing was imported: the user chose not to, when asked before.
    bool cancelled = false;

    void skip(qint64 line, const QString &reason);
    void skipNamed(const QString &name, const QString &reason);
    void spansLines(qint64 first, qint64 last);
};

// The notes on skipped rows and records of several lines, "" when there are none.
QString ImportNotesText(const ImportOutcome &outcome);
// The note on records that run over several lines of the file (count, the
// first few spans of lines from 1); inPreview words it for the preview.
QString MultiLineText(qint64 count, const QList<QPair<qint64, qint64>> &spans, bool inPreview);

class ImportSink
{
public:
    explicit ImportSink(AddressTable &table);
    ~ImportSink();
    // False (and error()) when the table cannot take an import now.
    bool isValid() const;
    QString error() const;
    AddressTable &table() const { return m_table; }
    // The table's field of that name, without regard to case; -1 when it has none.
    int field(const QString &name) const;

    // The value of one field of the record being built; a later value of the
    // same field replaces an earlier one. Out-of-range fields are ignored.
    void setText(int field, const QString &text);
    // Writes the record built so far (line: where it came from, from 1; 0 when
    // the source has no lines; name: the file it came from, for sources of one
    // file per record). False when it was skipped or the import failed.
    bool post(qint64 line, const QString &name = {});
    // Counts a row of the source that could not be read.
    void skip(qint64 line, const QString &reason) { m_outcome.skip(line, reason); }
    // Counts a file of the source that could not be read.
    void skipNamed(const QString &name, const QString &reason) { m_outcome.skipNamed(name, reason); }
    // Notes a record that runs over several lines of the source (from 1).
    void spansLines(qint64 first, qint64 last) { m_outcome.spansLines(first, last); }
    // Keeps everything posted. False (and nothing kept) when the table refuses.
    bool commit();
    // Drops everything posted.
    void abandon(const QString &error);
    const ImportOutcome &outcome() const { return m_outcome; }

private:
    bool tableFailed() const;

    AddressTable &m_table;
    std::unique_ptr<TableAppender> m_appender;
    QList<QString> m_texts;
    QList<bool> m_set;
    QList<int> m_touched;
    int m_selected = -1, m_invalid = -1;
    ImportOutcome m_outcome;
    bool m_open = false;
};

// The progress text of a long import in the main window's status bar,
// "Import: " + index + " von " + count, shown at most every 100 ms.
class ImportProgress
{
public:
    using Show = std::function<void(const QString &text)>;
    explicit ImportProgress(Show show = {}) : m_show(std::move(show)) {}
    void report(qint64 index, qint64 count);
    void clear();
    static QString text(qint64 index, qint64 count);

private:
    Show m_show;
    QElapsedTimer m_since;
};

} // namespace vt
