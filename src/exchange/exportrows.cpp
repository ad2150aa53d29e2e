#include "exportrows.h"
#include "text.h"
#include "textfile.h"

#include <QElapsedTimer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vt {

ExportSelection ShownRecords(const AddressTable &table)
{
    return {table.activeFilter(), table.indexName()};
}

int MarkedField(const AddressTable &table)
{
    const int exact = table.fieldIndex(QStringLiteral("Selected"));
    if (exact >= 0)
        return exact;
    for (int i = table.fieldCount() - 1; i >= 0; --i)
        if (AsciiUpper(table.field(i).name).contains(QLatin1String("SELECTED")))
            return i;
    return -1;
}

std::optional<ExportSelection> MarkedRecords(const AddressTable &table)
{
    const int marked = MarkedField(table);
    if (marked < 0)
        return std::nullopt;
    return ExportSelection{Filter::compare(table.field(marked).name, CompareOp::Equal, QStringLiteral("True")),
                           table.indexName()};
}

bool ScanTexts(AddressTable &table, const ExportSelection &selection, const QList<int> &fields,
               const std::function<bool(const QStringList &)> &record, const ExportProgress &progress, qint64 total,
               QString *error)
{
    QList<const FieldDef *> defs;
    for (int f : fields)
        defs.append(&table.field(f));
    QStringList texts(fields.size());
    qint64 done = 0;
    QElapsedTimer clock;
    clock.start();
    const bool ok =
        table.scan(selection.where, selection.indexName, fields, [&](qint64, const QList<QVariant> &values) {
            for (qsizetype k = 0; k < values.size(); ++k) {
                const QVariant &v = values.at(k);
                // A string is its own text; a table may hold one longer than
                // its field's size today, and the export keeps it whole.
                texts[k] = v.metaType().id() == QMetaType::QString ? v.toString() : NaturalToText(*defs.at(k), v);
            }
            if (!record(texts))
                return false;
            ++done;
            if (progress && (done & 255) == 0 && clock.elapsed() >= 100) {
                progress(done, total);
                clock.restart();
            }
            return true;
        });
    if (!ok && error)
        *error = table.lastError();
    return ok;
}

struct RowPipeline::State
{
    static constexpr int kBatchRecords = 256;
    static constexpr size_t kMaxWaiting = 4;

    Consumer consumer;
    QList<QStringList> batch;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QList<QStringList>> waiting;
    std::function<bool()> last;
    bool ended = false;    // no more batches come
    bool complete = false; // the waiting batches and last() are to run
    bool stopped = false;  // the consumer said stop, or last() failed
    bool finished = false; // the thread is done
    std::thread thread;

    void run()
    {
        for (;;) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return !waiting.empty() || ended; });
            if (stopped || (ended && !complete))
                waiting.clear();
            if (waiting.empty())
                break;
            const QList<QStringList> records = std::move(waiting.front());
            waiting.pop_front();
            lock.unlock();
            changed.notify_all();
            if (!consumer(records)) {
                const std::lock_guard stop(mutex);
                stopped = true;
            }
        }
        std::unique_lock lock(mutex);
        if (complete && !stopped && last) {
            lock.unlock();
            const bool ok = last();
            lock.lock();
            stopped = !ok;
        }
        finished = true;
        lock.unlock();
        changed.notify_all();
    }
};

RowPipeline::RowPipeline(Consumer consumer) : d(std::make_unique<State>())
{
    d->consumer = std::move(consumer);
    d->batch.reserve(State::kBatchRecords);
    d->thread = std::thread([s = d.get()] { s->run(); });
}

RowPipeline::~RowPipeline()
{
    if (d->thread.joinable())
        finish(false, {}, {});
}

bool RowPipeline::push(const QStringList &record)
{
    d->batch.append(record);
    if (d->batch.size() >= State::kBatchRecords)
        pushBatch();
    const std::lock_guard lock(d->mutex);
    return !d->stopped;
}

void RowPipeline::pushBatch()
{
    if (d->batch.isEmpty())
        return;
    std::unique_lock lock(d->mutex);
    d->changed.wait(lock, [this] { return d->waiting.size() < State::kMaxWaiting || d->finished; });
    d->waiting.push_back(std::move(d->batch));
    lock.unlock();
    d->changed.notify_all();
    d->batch = QList<QStringList>();
    d->batch.reserve(State::kBatchRecords);
}

bool RowPipeline::finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle)
{
    if (!d->thread.joinable())
        return false;
    if (complete)
        pushBatch();
    {
        const std::lock_guard lock(d->mutex);
        d->ended = true;
        d->complete = complete;
        d->last = last;
    }
    d->changed.notify_all();
    std::unique_lock lock(d->mutex);
    while (!d->finished) {
        d->changed.wait_for(lock, std::chrono::milliseconds(100));
        if (idle && !d->finished) {
            lock.unlock();
            idle();
            lock.lock();
        }
    }
    const bool ok = complete && !d->stopped;
    lock.unlock();
    d->thread.join();
    return ok;
}

void AppendUtf8(QByteArray &out, QStringView text, bool dropZeros)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 3);
    char *d = out.data() + start;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t u = text[i].unicode();
        if (u < 0x80) {
            if (u != 0 || !dropZeros)
                *d++ = char(u);
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            u = QChar::surrogateToUcs4(char16_t(u), text[++i].unicode());
        else if (QChar::isSurrogate(u))
            u = 0xFFFD;
        if (u < 0x800) {
            *d++ = char(0xC0 | (u >> 6));
        } else if (u < 0x10000) {
            *d++ = char(0xE0 | (u >> 12));
            *d++ = char(0x80 | ((u >> 6) & 0x3F));
        } else {
            *d++ = char(0xF0 | (u >> 18));
            *d++ = char(0x80 | ((u >> 12) & 0x3F));
            *d++ = char(0x80 | ((u >> 6) & 0x3F));
        }
        *d++ = char(0x80 | (u & 0x3F));
    }
    out.resize(d - out.data());
}

QString ExportWriteFailedText(const QString &path, const QString &reason)
{
    QString text = CannotWriteFileText(path);
    if (!reason.isEmpty())
        text += QStringLiteral("\r") + reason;
    return text;
}

} // namespace vt
