#include "exportrows.h"
#include "text.h"
#include "textfile.h"

#include <QDate>
#include <QElapsedTimer>

#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
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

void TextRows::appendRows(const TextRows &other)
{
    const qsizetype shift = m_bytes.size();
    m_bytes.append(other.m_bytes);
    m_ends.reserve(m_ends.size() + other.m_ends.size());
    for (const qsizetype end : other.m_ends)
        m_ends.push_back(end + shift);
    m_rows += other.m_rows;
}

namespace {

constexpr quint64 kOnes = 0x0101010101010101ULL;
constexpr quint64 kHighs = 0x8080808080808080ULL;

quint64 load8(const char *p)
{
    quint64 w;
    std::memcpy(&w, p, 8);
    return w;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int number(const char *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

// A date as the file stores it ("yyyy-MM-dd"), written as the grid shows it
// ("dd.MM.yyyy"); false for anything else.
bool appendIsoDate(QByteArray &out, const char *p, qsizetype n)
{
    if (n != 10 || p[4] != '-' || p[7] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!isDigit(p[i]))
            return false;
    const int y = number(p, 4);
    if (y < 1 || !QDate::isValid(y, number(p + 5, 2), number(p + 8, 2)))
        return false;
    const char text[10] = {p[8], p[9], '.', p[5], p[6], '.', p[0], p[1], p[2], p[3]};
    out.append(text, 10);
    return true;
}

// A time as the file stores it ("HH:mm:ss"), which is also how it is shown.
bool isClockTime(const char *p, qsizetype n)
{
    if (n != 8 || p[2] != ':' || p[5] != ':')
        return false;
    for (int i : {0, 1, 3, 4, 6, 7})
        if (!isDigit(p[i]))
            return false;
    return number(p, 2) < 24 && number(p + 3, 2) < 60 && number(p + 6, 2) < 60;
}

} // namespace

bool IsWellFormedUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (i + 8 <= n && (load8(reinterpret_cast<const char *>(p + i)) & kHighs) == 0) {
            i += 8;
            continue;
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int follow;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (c < 0xC2) {
            return false;
        } else if (c < 0xE0) {
            follow = 1;
        } else if (c < 0xF0) {
            follow = 2;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // a surrogate
        } else if (c < 0xF5) {
            follow = 3;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // beyond U+10FFFF
        } else {
            return false;
        }
        if (n - i <= follow)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k <= follow; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += follow + 1;
    }
    return true;
}

void AppendTextForm(QByteArray &out, const FieldDef &field, const RawValue &value)
{
    switch (value.kind) {
    case RawValue::Blank: return;
    case RawValue::Text: {
        const QByteArrayView bytes(value.data, value.bytes);
        if (IsTextType(field.type)) {
            // Reading the text into a QString would drop a leading byte order
            // mark and mend broken sequences: such values take that way below.
            if (!bytes.startsWith("\xEF\xBB\xBF") && IsWellFormedUtf8(bytes)) {
                out.append(bytes);
                return;
            }
        } else if (field.type == FieldType::Date) {
            if (appendIsoDate(out, value.data, value.bytes))
                return;
        } else if (field.type == FieldType::Time) {
            if (isClockTime(value.data, value.bytes)) {
                out.append(bytes);
                return;
            }
        }
        break;
    }
    case RawValue::Integer:
        if (field.type == FieldType::Boolean) {
            out.append(value.integer != 0 ? QByteArrayView("True") : QByteArrayView("False"));
            return;
        }
        if (field.type == FieldType::Integer || field.type == FieldType::AutoInc) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value.integer).ptr;
            out.append(digits, end - digits);
            return;
        }
        break;
    case RawValue::Real:
    case RawValue::Blob: break;
    }
    // Everything else takes the way of the grid's texts.
    const QVariant natural = StoredToNatural(field, value.stored());
    AppendUtf8(out, natural.metaType().id() == QMetaType::QString ? natural.toString() : NaturalToText(field, natural));
}

bool ScanUtf8(AddressTable &table, const ExportSelection &selection, const QList<int> &fields,
              const std::function<bool(const TextRows &)> &record, const ExportProgress &progress, qint64 total,
              QString *error)
{
    std::vector<const FieldDef *> defs;
    for (int f : fields)
        defs.push_back(f >= 0 && f < table.fieldCount() ? &table.field(f) : nullptr);
    TextRows texts(int(fields.size()));
    qint64 done = 0;
    QElapsedTimer clock;
    clock.start();
    const bool ok = table.scanRaw(selection.where, selection.indexName, fields, [&](const RawValue *values) {
        texts.clear();
        for (size_t k = 0; k < defs.size(); ++k) {
            AppendTextForm(texts.buffer(), *defs[k], values[k]);
            texts.endCell();
        }
        texts.endRow();
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

ByteFinder::ByteFinder(std::initializer_list<char> stops)
{
    for (const char c : stops)
        if (m_count < 4 && !(c & 0x80)) {
            m_stops[m_count] = static_cast<unsigned char>(c);
            m_broadcast[m_count++] = kOnes * static_cast<unsigned char>(c);
        }
}

qsizetype ByteFinder::find(const char *data, qsizetype size) const
{
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        const quint64 w = load8(data + i);
        quint64 hit = w & kHighs;
        for (int k = 0; k < m_count; ++k) {
            // A byte equal to the stop becomes zero; a zero byte gets its high bit set.
            const quint64 x = w ^ m_broadcast[k];
            hit |= (x - kOnes) & ~x & kHighs;
        }
        if (hit)
            break;
    }
    for (; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c & 0x80)
            return i;
        for (int k = 0; k < m_count; ++k)
            if (c == m_stops[k])
                return i;
    }
    return -1;
}

struct RowPipeline::State
{
    static constexpr qsizetype kBatchRecords = 512;
    static constexpr qsizetype kBatchBytes = 256 * 1024;
    static constexpr size_t kMaxWaiting = 4;

    explicit State(int columns) : columns(columns), batch(columns) {}

    const int columns;
    Consumer consumer;
    TextRows batch;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<TextRows> waiting;
    std::vector<TextRows> spare; // batches written, kept for their memory
    std::function<bool()> last;
    bool ended = false;               // no more batches come
    bool complete = false;            // the waiting batches and last() are to run
    std::atomic<bool> stopped{false}; // the consumer said stop, or last() failed
    bool finished = false;            // the thread is done
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
            TextRows records = std::move(waiting.front());
            waiting.pop_front();
            lock.unlock();
            changed.notify_all();
            if (!consumer(records))
                stopped = true;
            records.clear();
            lock.lock();
            spare.push_back(std::move(records));
        }
        std::unique_lock lock(mutex);
        if (complete && !stopped && last) {
            lock.unlock();
            const bool ok = last();
            lock.lock();
            if (!ok)
                stopped = true;
        }
        finished = true;
        lock.unlock();
        changed.notify_all();
    }
};

RowPipeline::RowPipeline(int columns, Consumer consumer) : d(std::make_unique<State>(columns))
{
    d->consumer = std::move(consumer);
    d->thread = std::thread([s = d.get()] { s->run(); });
}

RowPipeline::~RowPipeline()
{
    if (d->thread.joinable())
        finish(false, {}, {});
}

bool RowPipeline::push(const TextRows &records)
{
    d->batch.appendRows(records);
    if (d->batch.rows() >= State::kBatchRecords || d->batch.bytes() >= State::kBatchBytes)
        return pushBatch();
    return !d->stopped;
}

bool RowPipeline::push(const QStringList &record)
{
    TextRows texts(int(record.size()));
    for (const QString &text : record) {
        AppendUtf8(texts.buffer(), text);
        texts.endCell();
    }
    texts.endRow();
    return push(texts);
}

bool RowPipeline::pushBatch()
{
    if (d->batch.rows() == 0)
        return !d->stopped;
    std::unique_lock lock(d->mutex);
    d->changed.wait(lock, [this] { return d->waiting.size() < State::kMaxWaiting || d->finished; });
    d->waiting.push_back(std::move(d->batch));
    if (d->spare.empty()) {
        d->batch = TextRows(d->columns);
    } else {
        d->batch = std::move(d->spare.back());
        d->spare.pop_back();
    }
    lock.unlock();
    d->changed.notify_all();
    return !d->stopped;
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
