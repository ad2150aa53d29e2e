#pragma once
// What both exports share: which records they write (the rows the grid shows,
// or the marked ones), reading them in one forward-only pass without the grid
// or the table's cursor, as UTF-8 taken straight from the stored values,
// handing them to the writer of the file on a thread of its own, and the
// result of an export.
#include "addresstable.h"
#include "filter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

namespace vt {

// The records an export writes, in this order.
struct ExportSelection
{
    Filter where;
    QString indexName;
};
// The records the table shows now: its filter while it is on, its order.
ExportSelection ShownRecords(const AddressTable &table);
// The marked records in the table's order; nullopt when the table has no field
// that marks a record.
std::optional<ExportSelection> MarkedRecords(const AddressTable &table);
// The field that marks a record: the one named "Selected", else the last whose
// upper-cased name contains "SELECTED"; -1 when the table has none.
int MarkedField(const AddressTable &table);

// Called now and then while an export runs (at most every 100 ms): records
// written so far and in all.
using ExportProgress = std::function<void(qint64 done, qint64 total)>;

struct ExportResult
{
    bool ok = false;
    QString error; // why nothing was written, in the user's words
    qint64 rows = 0;
    bool utf8 = false;   // the text export had to leave Windows-1252
    qint64 cutCells = 0; // workbook cells cut to what a cell holds
};

// Records as UTF-8 texts, packed: the bytes of every cell one after the
// other, each followed by a zero byte (so that a cell without a zero inside can
// be handed on as a C string), and where each cell ends.
class TextRows
{
public:
    explicit TextRows(int columns = 0) : m_columns(columns) {}
    int columns() const { return m_columns; }
    qsizetype rows() const { return m_rows; }
    qsizetype bytes() const { return m_bytes.size(); }
    // The bytes of one cell, without the zero after them.
    QByteArrayView cell(qsizetype row, int column) const
    {
        const size_t i = size_t(row * m_columns + column);
        const qsizetype from = i ? m_ends[i - 1] : 0;
        return QByteArrayView(m_bytes.constData() + from, m_ends[i] - from - 1);
    }
    void clear()
    {
        m_bytes.resize(0);
        m_ends.clear();
        m_rows = 0;
    }

    // Building: the bytes of a cell go to buffer(), then endCell() closes it;
    // endRow() after the last cell of a record.
    QByteArray &buffer() { return m_bytes; }
    void endCell()
    {
        m_bytes.append('\0');
        m_ends.push_back(m_bytes.size());
    }
    void endRow() { ++m_rows; }
    // Appends the records of another set with as many columns.
    void appendRows(const TextRows &other);

private:
    int m_columns;
    qsizetype m_rows = 0;
    QByteArray m_bytes;
    std::vector<qsizetype> m_ends; // past the zero of each cell
};

// Walks the records of the selection and hands the text form of the fields of
// each (the texts the grid shows), as UTF-8, to the callback: one record of one
// cell per field, reused from record to record; it returns false to stop.
// False (and the error) when the table could not be read.
bool ScanUtf8(AddressTable &table, const ExportSelection &selection, const QList<int> &fields,
              const std::function<bool(const TextRows &record)> &record, const ExportProgress &progress, qint64 total,
              QString *error);

// Appends the text form of a value as the file holds it, as UTF-8: the text
// NaturalToText gives for the field's natural value (a text field's value
// itself).
void AppendTextForm(QByteArray &out, const FieldDef &field, const RawValue &value);

// Hands records to a consumer that runs on a thread of its own (the writing of
// the file), some hundred records at a time with only a few batches waiting,
// so that reading the table and writing the file overlap while memory stays
// small however many records there are.
class RowPipeline
{
public:
    // Takes a batch of records; false stops the pipeline.
    using Consumer = std::function<bool(const TextRows &records)>;
    RowPipeline(int columns, Consumer consumer);
    // Stops the consumer without its last step.
    ~RowPipeline();
    RowPipeline(const RowPipeline &) = delete;
    RowPipeline &operator=(const RowPipeline &) = delete;

    // False once the consumer has stopped.
    bool push(const TextRows &records);
    bool push(const QStringList &record);
    // Ends the records. complete: the consumer takes the rest, then last() (when
    // given) runs on its thread, unless the consumer stopped; otherwise what
    // waits is dropped. Waits for the thread, calling idle about every 100 ms.
    // True when every batch and last() succeeded.
    bool finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle);

private:
    struct State;
    bool pushBatch();
    std::unique_ptr<State> d;
};

// Appends the text as UTF-8 (a lone surrogate as U+FFFD); zero characters are
// left out when dropZeros is set.
void AppendUtf8(QByteArray &out, QStringView text, bool dropZeros = false);

// Whether the bytes are UTF-8 that reads back as the same text: no broken or
// overlong sequence, no surrogate, nothing beyond U+10FFFF.
bool IsWellFormedUtf8(QByteArrayView bytes);

// Looks through bytes eight at a time for the first one that is 0x80 or above
// or one of up to four given ASCII bytes; -1 when there is none.
class ByteFinder
{
public:
    ByteFinder(std::initializer_list<char> stops);
    qsizetype find(const char *data, qsizetype size) const;

private:
    quint64 m_broadcast[4] = {};
    unsigned char m_stops[4] = {};
    int m_count = 0;
};

// The words of the failures both exports share.
QString ExportWriteFailedText(const QString &path, const QString &reason);

} // namespace vt
