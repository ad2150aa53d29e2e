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
#include <QTemporaryFile>

#include <cstring>
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
    // How many records, or bytes of them, a batch holds at most (about).
    static constexpr qsizetype kBatchRecords = 512;
    static constexpr qsizetype kBatchBytes = 256 * 1024;

    explicit TextRows(int columns = 0) : m_columns(columns) {}
    // Whether it holds a batch's worth.
    bool full() const { return m_rows >= kBatchRecords || m_bytes.size() >= kBatchBytes; }
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

    // Building: the bytes of a cell go to buffer() (or come whole with
    // appendCell()), then endCell() closes it; endRow() after the last cell of a
    // record.
    QByteArray &buffer() { return m_bytes; }
    void endCell()
    {
        m_bytes.append('\0');
        m_ends.push_back(m_bytes.size());
    }
    void appendCell(const char *data, qsizetype size)
    {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + size + 1);
        char *d = m_bytes.data() + at;
        std::memcpy(d, data, size_t(size));
        d[size] = '\0';
        m_ends.push_back(at + size + 1);
    }
    void endRow() { ++m_rows; }

private:
    int m_columns;
    qsizetype m_rows = 0;
    QByteArray m_bytes;
    std::vector<qsizetype> m_ends; // past the zero of each cell
};

// Walks the records of the selection and hands the text form of the fields of
// each (the texts the grid shows), as UTF-8, to the callback: records of one
// cell per field, a batch of some hundred at a time (the last ones at the end).
// The callback takes what it wants of them (RowPipeline::push() takes them
// whole); the batch is emptied after it, and it returns false to stop.
// False (and the error) when the table could not be read.
bool ScanUtf8(AddressTable &table, const ExportSelection &selection, const QList<int> &fields,
              const std::function<bool(TextRows &records)> &batch, const ExportProgress &progress, qint64 total,
              QString *error);

// Appends the text form of a value as the file holds it, as UTF-8, as one cell:
// the text NaturalToText gives for the field's natural value (a text field's
// value itself).
void AppendTextForm(TextRows &out, const FieldDef &field, const RawValue &value);

// The thread and the queue of a pipeline: batches live in numbered slots; the
// producer fills the current one and hands it over, the consumer takes the slots
// in that order on a thread of its own and empties them; a few wait at most, so
// that both sides overlap while memory stays small however much passes through.
class SlotPipeline
{
public:
    // count slots, numbered from 0; consume(slot) runs on the pipeline's thread,
    // for each slot handed over; it returns false to stop the pipeline.
    SlotPipeline(int count, std::function<bool(int slot)> consume);
    // Stops the consumer without its last step.
    ~SlotPipeline();
    SlotPipeline(const SlotPipeline &) = delete;
    SlotPipeline &operator=(const SlotPipeline &) = delete;

    // The slot the producer fills now.
    int current() const { return m_current; }
    // Hands the current slot to the consumer; the next current one is a slot the
    // consumer is done with (waits for one). False once the consumer has stopped.
    bool handOver();
    bool stopped() const;
    // Ends the pipeline. complete: the consumer takes what was handed over, then
    // last() (when given) runs on its thread, unless the consumer stopped;
    // otherwise what waits is dropped. Waits for the thread, calling idle about
    // every 100 ms. True when every slot and last() succeeded.
    bool finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle);

private:
    struct State;
    std::unique_ptr<State> d;
    int m_current = 0;
};

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

    // Takes the records, which are left empty; false once the consumer has stopped.
    bool push(TextRows &records);
    bool push(const QStringList &record);
    // Ends the records, as SlotPipeline::finish().
    bool finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle);

private:
    TextRows &filling() { return m_slots[size_t(m_pipeline.current())]; }

    std::vector<TextRows> m_slots;
    Consumer m_consumer;
    SlotPipeline m_pipeline; // last: it stops before the slots go
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

// The file an export writes: a temporary file beside the target, which takes the
// target's place (and the permissions of the file it replaces) only when it is
// complete, and is removed otherwise; so the target never holds half an export.
// The disk is not waited for: an export is a copy that can be made again, and
// waiting for gigabytes to reach the disk would take longer than writing them.
class ExportTarget
{
public:
    explicit ExportTarget(const QString &path);
    ~ExportTarget();
    ExportTarget(const ExportTarget &) = delete;
    ExportTarget &operator=(const ExportTarget &) = delete;

    // Creates the temporary file, open for writing; false (with the failure in the
    // user's words) when it cannot be made.
    bool create(QString *error);
    QFile &file() { return *m_file; }
    QString tempPath() const;
    // Closes the temporary file and puts it in the target's place; false (with the
    // failure in the user's words) when it cannot be completed or moved there.
    bool commit(QString *error);

private:
    QString m_path;
    std::unique_ptr<QTemporaryFile> m_file;
};

} // namespace vt
