#pragma once
// What both exports share: which records they write (the rows the grid shows,
// or the marked ones), reading them in one forward-only pass without the grid
// or the table's cursor, handing them to the writer of the file on a thread of
// its own, and the result of an export.
#include "addresstable.h"
#include "filter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>

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

// Walks the records of the selection and hands the text form of the fields of
// each to the callback (which returns false to stop); the list is reused from
// record to record. False (and the error) when the table could not be read.
bool ScanTexts(AddressTable &table, const ExportSelection &selection, const QList<int> &fields,
               const std::function<bool(const QStringList &texts)> &record, const ExportProgress &progress,
               qint64 total, QString *error);

// Hands records to a consumer that runs on a thread of its own (the writing of
// the file), some hundred records at a time with only a few batches waiting,
// so that reading the table and writing the file overlap while memory stays
// small however many records there are.
class RowPipeline
{
public:
    // Takes a batch of records; false stops the pipeline.
    using Consumer = std::function<bool(const QList<QStringList> &records)>;
    explicit RowPipeline(Consumer consumer);
    // Stops the consumer without its last step.
    ~RowPipeline();
    RowPipeline(const RowPipeline &) = delete;
    RowPipeline &operator=(const RowPipeline &) = delete;

    // False once the consumer has stopped.
    bool push(const QStringList &record);
    // Ends the records. complete: the consumer takes the rest, then last() (when
    // given) runs on its thread, unless the consumer stopped; otherwise what
    // waits is dropped. Waits for the thread, calling idle about every 100 ms.
    // True when every batch and last() succeeded.
    bool finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle);

private:
    struct State;
    void pushBatch();
    std::unique_ptr<State> d;
};

// Appends the text as UTF-8 (a lone surrogate as U+FFFD); zero characters are
// left out when dropZeros is set.
void AppendUtf8(QByteArray &out, QStringView text, bool dropZeros = false);

// The words of the failures both exports share.
QString ExportWriteFailedText(const QString &path, const QString &reason);

} // namespace vt
