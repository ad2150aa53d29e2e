#include "exportrows.h"
#include "text.h"
#include "textfile.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/stat.h>
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

namespace {

// Whether the bytes are plain ASCII, eight at a time.
bool isAscii(const char *p, qsizetype n)
{
    qsizetype i = 0;
    quint64 any = 0;
    for (; i + 8 <= n; i += 8)
        any |= load8(p + i);
    for (; i < n; ++i)
        any |= quint64(static_cast<unsigned char>(p[i]));
    return (any & kHighs) == 0;
}

} // namespace

void AppendTextForm(TextRows &out, const FieldDef &field, const RawValue &value)
{
    switch (value.kind) {
    case RawValue::Blank: out.endCell(); return;
    case RawValue::Text: {
        if (IsTextType(field.type)) {
            // Reading the text into a QString would drop a leading byte order
            // mark and mend broken sequences: such values take that way below.
            if (isAscii(value.data, value.bytes) ||
                (!QByteArrayView(value.data, value.bytes).startsWith("\xEF\xBB\xBF") &&
                 IsWellFormedUtf8(QByteArrayView(value.data, value.bytes)))) {
                out.appendCell(value.data, value.bytes);
                return;
            }
        } else if (field.type == FieldType::Date) {
            if (appendIsoDate(out.buffer(), value.data, value.bytes))
                return out.endCell();
        } else if (field.type == FieldType::Time) {
            if (isClockTime(value.data, value.bytes)) {
                out.appendCell(value.data, value.bytes);
                return;
            }
        }
        break;
    }
    case RawValue::Integer:
        if (field.type == FieldType::Boolean) {
            if (value.integer != 0)
                out.appendCell("True", 4);
            else
                out.appendCell("False", 5);
            return;
        }
        if (field.type == FieldType::Integer || field.type == FieldType::AutoInc) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value.integer).ptr;
            out.appendCell(digits, end - digits);
            return;
        }
        break;
    case RawValue::Real:
    case RawValue::Blob: break;
    }
    // Everything else takes the way of the grid's texts.
    const QVariant natural = StoredToNatural(field, value.stored());
    AppendUtf8(out.buffer(),
               natural.metaType().id() == QMetaType::QString ? natural.toString() : NaturalToText(field, natural));
    out.endCell();
}

bool ScanUtf8(AddressTable &table, const ExportSelection &selection, const QList<int> &fields,
              const std::function<bool(TextRows &)> &batch, const ExportProgress &progress, qint64 total,
              QString *error)
{
    std::vector<const FieldDef *> defs;
    for (int f : fields)
        defs.push_back(f >= 0 && f < table.fieldCount() ? &table.field(f) : nullptr);
    TextRows texts(int(fields.size()));
    qint64 done = 0;
    bool stopped = false;
    QElapsedTimer clock;
    clock.start();
    bool ok = table.scanRaw(selection.where, selection.indexName, fields, [&](const RawValue *values) {
        for (size_t k = 0; k < defs.size(); ++k)
            AppendTextForm(texts, *defs[k], values[k]);
        texts.endRow();
        if (texts.full()) {
            stopped = !batch(texts);
            texts.clear();
            if (stopped)
                return false;
        }
        ++done;
        if (progress && (done & 255) == 0 && clock.elapsed() >= 100) {
            progress(done, total);
            clock.restart();
        }
        return true;
    });
    if (ok && !stopped && texts.rows() > 0)
        batch(texts);
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

struct SlotPipeline::State
{
    std::function<bool(int)> consume;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<int> waiting; // handed over, in order
    std::vector<int> free;   // emptied by the consumer
    std::function<bool()> last;
    bool ended = false;               // nothing more is handed over
    bool complete = false;            // what waits and last() are to run
    std::atomic<bool> stopped{false}; // the consumer said stop, or last() failed
    bool finished = false;            // the thread is done
    std::thread thread;

    void run()
    {
        for (;;) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return !waiting.empty() || ended; });
            if (stopped || (ended && !complete)) {
                free.insert(free.end(), waiting.begin(), waiting.end());
                waiting.clear();
            }
            if (waiting.empty())
                break;
            const int slot = waiting.front();
            waiting.pop_front();
            lock.unlock();
            if (!consume(slot))
                stopped = true;
            lock.lock();
            free.push_back(slot);
            lock.unlock();
            changed.notify_all();
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

SlotPipeline::SlotPipeline(int count, std::function<bool(int slot)> consume) : d(std::make_unique<State>())
{
    d->consume = std::move(consume);
    for (int slot = count - 1; slot >= 1; --slot)
        d->free.push_back(slot);
    d->thread = std::thread([s = d.get()] { s->run(); });
}

SlotPipeline::~SlotPipeline()
{
    if (d->thread.joinable())
        finish(false, {}, {});
}

bool SlotPipeline::stopped() const
{
    return d->stopped;
}

bool SlotPipeline::handOver()
{
    std::unique_lock lock(d->mutex);
    d->changed.wait(lock, [this] { return !d->free.empty() || d->finished; });
    if (d->free.empty())
        return false;
    d->waiting.push_back(m_current);
    m_current = d->free.back();
    d->free.pop_back();
    lock.unlock();
    d->changed.notify_all();
    return !d->stopped;
}

bool SlotPipeline::finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle)
{
    if (!d->thread.joinable())
        return false;
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

namespace {

// One being filled, four waiting at most, one with the consumer.
constexpr int kRowSlots = 6;

} // namespace

RowPipeline::RowPipeline(int columns, Consumer consumer)
    : m_slots(kRowSlots, TextRows(columns)), m_consumer(std::move(consumer)), m_pipeline(kRowSlots, [this](int slot) {
          TextRows &records = m_slots[size_t(slot)];
          const bool ok = m_consumer(records);
          records.clear();
          return ok;
      })
{
}

bool RowPipeline::push(TextRows &records)
{
    if (records.rows() == 0)
        return !m_pipeline.stopped();
    // What push(QStringList) collected goes first.
    if (filling().rows() > 0 && !m_pipeline.handOver())
        return false;
    std::swap(filling(), records);
    return m_pipeline.handOver();
}

bool RowPipeline::push(const QStringList &record)
{
    TextRows &batch = filling();
    for (const QString &text : record) {
        AppendUtf8(batch.buffer(), text);
        batch.endCell();
    }
    batch.endRow();
    return !batch.full() || m_pipeline.handOver();
}

bool RowPipeline::finish(bool complete, const std::function<bool()> &last, const std::function<void()> &idle)
{
    if (complete && filling().rows() > 0)
        m_pipeline.handOver();
    return m_pipeline.finish(complete, last, idle);
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

ExportTarget::ExportTarget(const QString &path) : m_path(path)
{
}

ExportTarget::~ExportTarget() = default;

bool ExportTarget::create(QString *error)
{
    const QFileInfo target(m_path);
    m_file = std::make_unique<QTemporaryFile>(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                                              QStringLiteral(".XXXXXX"));
    if (m_file->open())
        return true;
    *error = ExportWriteFailedText(m_path, m_file->errorString());
    return false;
}

QString ExportTarget::tempPath() const
{
    return m_file ? m_file->fileName() : QString();
}

bool ExportTarget::commit(QString *error)
{
    if (!m_file)
        return false;
    const QByteArray temp = QFile::encodeName(m_file->fileName());
    const QByteArray target = QFile::encodeName(m_path);
    if (m_file->isOpen()) {
        const bool flushed = m_file->flush();
        const QString why = m_file->errorString();
        m_file->close();
        if (!flushed) {
            *error = ExportWriteFailedText(m_path, why);
            return false;
        }
    }
    // The permissions of the file replaced, or those of a new file.
    struct stat st;
    mode_t mode;
    if (::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(temp.constData(), mode);
    if (std::rename(temp.constData(), target.constData()) != 0) {
        *error = ExportWriteFailedText(m_path, QStringLiteral("Die fertige Datei kann nicht an ihren Platz gelegt "
                                                              "werden (%1).")
                                                   .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    m_file->setAutoRemove(false);
    return true;
}

} // namespace vt
