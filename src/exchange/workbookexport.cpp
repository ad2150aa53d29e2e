#include "workbookexport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringView>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace vt {

namespace {

QString workbookErrorText(lxw_error e)
{
    if (e == LXW_ERROR_CREATING_XLSX_FILE || e == LXW_ERROR_CREATING_TMPFILE)
        return QStringLiteral("Der Ordner ist nicht beschreibbar oder der Datenträger ist voll.");
    return QStringLiteral("Beim Schreiben der Arbeitsmappe ist ein Fehler aufgetreten (%1).")
        .arg(QString::fromUtf8(lxw_strerror(e)));
}

// The permissions a new file gets, or those of the file it replaces.
void takeTargetPermissions(const QString &temp, const QString &target)
{
    struct stat st;
    mode_t mode;
    if (::stat(QFile::encodeName(target).constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::chmod(QFile::encodeName(temp).constData(), mode);
}

// A workbook being written; freed without a file unless closed.
class Workbook
{
public:
    Workbook(const QString &path, const QString &tempFolder)
        : m_tempFolder(QFile::encodeName(QDir::toNativeSeparators(tempFolder)))
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        // The row data goes to a temporary file beside the export, not into a
        // /tmp that may live in memory.
        options.tmpdir = m_tempFolder.data();
        m_book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    }
    ~Workbook()
    {
        if (m_book)
            lxw_workbook_free(m_book);
    }
    lxw_workbook *get() const { return m_book; }
    lxw_error close()
    {
        lxw_workbook *b = m_book;
        m_book = nullptr;
        return workbook_close(b);
    }
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

private:
    QByteArray m_tempFolder;
    lxw_workbook *m_book = nullptr;
};

// Appends the text as UTF-8 with its terminating zero. A zero character inside
// is left out: a cell cannot hold it, and it would end the value early.
void appendCell(QByteArray &out, QStringView text)
{
    AppendUtf8(out, text, true);
    out.append('\0');
}

// Writes the cells into the sheet on a thread of its own, so that reading the
// table and writing the sheet overlap, and packing the finished workbook does
// not hold up the window. Rows come in batches, each cell as UTF-8 ended by a
// zero (an empty cell is written as nothing); at most a few batches wait, so
// memory stays small however many rows there are.
class SheetWriter
{
public:
    static constexpr int kBatchRows = 512;

    SheetWriter(Workbook &book, lxw_worksheet *sheet, int columns)
        : m_book(book), m_sheet(sheet), m_columns(columns), m_thread([this] { run(); })
    {
    }
    ~SheetWriter() { finish(false, {}); }

    // The cells of one more row (the first is row 0); false once writing failed.
    bool addRow(const QStringList &texts, qint64 *cutCells)
    {
        for (const QString &t : texts) {
            if (t.size() > kWorkbookMaxCellChars) {
                // Cut between two characters, never inside a surrogate pair.
                const int keep = t.at(kWorkbookMaxCellChars - 1).isHighSurrogate() ? kWorkbookMaxCellChars - 1
                                                                                   : kWorkbookMaxCellChars;
                appendCell(m_batch, QStringView(t).left(keep));
                ++*cutCells;
            } else {
                appendCell(m_batch, t);
            }
        }
        if (++m_batchRows == kBatchRows)
            pushBatch();
        return m_error.load() == LXW_NO_ERROR;
    }

    // Ends the rows. keep: the writer closes the workbook (writes the file);
    // otherwise it is dropped. Waits for the thread, calling idle about every
    // 100 ms meanwhile; the first error of the writer, if any.
    lxw_error finish(bool keep, const std::function<void()> &idle)
    {
        if (m_thread.joinable()) {
            if (keep)
                pushBatch();
            {
                const std::lock_guard lock(m_mutex);
                m_done = true;
                m_keep = keep;
            }
            m_changed.notify_all();
            std::unique_lock lock(m_mutex);
            while (!m_finished) {
                m_changed.wait_for(lock, std::chrono::milliseconds(100));
                if (idle && !m_finished) {
                    lock.unlock();
                    idle();
                    lock.lock();
                }
            }
            lock.unlock();
            m_thread.join();
        }
        return m_error.load();
    }

private:
    struct Batch
    {
        QByteArray bytes;
        qint64 firstRow = 0;
        int rows = 0;
    };

    void pushBatch()
    {
        if (m_batchRows == 0)
            return;
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < 4 || m_finished; });
        m_queue.push_back({std::move(m_batch), m_nextRow, m_batchRows});
        lock.unlock();
        m_changed.notify_all();
        m_nextRow += m_batchRows;
        m_batch = QByteArray();
        m_batchRows = 0;
    }

    void run()
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_done; });
            if (m_done && !m_keep)
                m_queue.clear();
            if (m_queue.empty())
                break;
            const Batch b = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            m_changed.notify_all();
            if (m_error.load() == LXW_NO_ERROR)
                write(b);
        }
        bool keep;
        {
            const std::lock_guard lock(m_mutex);
            keep = m_keep;
        }
        if (keep && m_error.load() == LXW_NO_ERROR)
            m_error = m_book.close();
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }

    void write(const Batch &b)
    {
        const char *p = b.bytes.constData();
        for (int r = 0; r < b.rows; ++r)
            for (int c = 0; c < m_columns; ++c) {
                const size_t length = std::strlen(p);
                if (length > 0) {
                    const lxw_error e =
                        worksheet_write_string(m_sheet, lxw_row_t(b.firstRow + r), lxw_col_t(c), p, nullptr);
                    if (e != LXW_NO_ERROR) {
                        m_error = e;
                        return;
                    }
                }
                p += length + 1;
            }
    }

    Workbook &m_book;
    lxw_worksheet *m_sheet;
    const int m_columns;
    QByteArray m_batch;
    int m_batchRows = 0;
    qint64 m_nextRow = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_queue;
    bool m_done = false, m_keep = false, m_finished = false;
    std::atomic<lxw_error> m_error{LXW_NO_ERROR};
    std::thread m_thread; // last: started when everything above is ready
};

} // namespace

QString WorkbookTooManyRowsText(qint64 rows, qint64 maxRows)
{
    const QLocale de(QLocale::German, QLocale::Germany);
    return QStringLiteral("Es sollen %1 Datensätze exportiert werden. Ein Excel-Arbeitsblatt fasst höchstens %2 "
                          "Datensätze.\rBitte schränken Sie die Datensätze mit einem Filter ein.")
        .arg(de.toString(rows), de.toString(maxRows));
}

ExportResult WriteGridToWorkbook(AddressTable &table, const QList<ExportColumn> &columns, const QString &path,
                                 const QString &sheetName, const ExportSelection &selection,
                                 const ExportProgress &progress, qint64 maxRows)
{
    ExportResult result;
    if (columns.isEmpty() || columns.size() > LXW_COL_MAX) {
        result.error = QStringLiteral("Die Tabelle zeigt keine Spalte, die exportiert werden könnte.");
        return result;
    }
    const qint64 total = table.count(selection.where);
    if (total < 0) {
        result.error = table.lastError();
        return result;
    }
    if (total > maxRows) {
        result.error = WorkbookTooManyRowsText(total, maxRows);
        return result;
    }

    const QString folder = QFileInfo(path).absolutePath();
    QTemporaryFile temp(folder + QStringLiteral("/.") + QFileInfo(path).fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        result.error = ExportWriteFailedText(path, temp.errorString());
        return result;
    }
    temp.close();

    Workbook book(temp.fileName(), folder);
    lxw_worksheet *sheet = book.get() ? workbook_add_worksheet(book.get(), sheetName.toUtf8().constData()) : nullptr;
    if (!sheet) {
        result.error = ExportWriteFailedText(path, QStringLiteral("Die Arbeitsmappe kann nicht angelegt werden."));
        return result;
    }

    QList<int> fields;
    QStringList titles;
    for (const ExportColumn &col : columns) {
        fields.append(col.field);
        // A title left empty would leave its column unnamed: the field's name stands in.
        titles.append(col.title.trimmed().isEmpty() ? table.field(col.field).name : col.title);
    }
    qint64 row = 0;
    bool tooMany = false;
    QString readError;
    bool read = false;
    lxw_error failed = LXW_NO_ERROR;
    {
        SheetWriter writer(book, sheet, int(columns.size()));
        if (writer.addRow(titles, &result.cutCells))
            read = ScanTexts(
                table, selection, fields,
                [&](const QStringList &texts) {
                    // Records added since the count are still held to the limit.
                    if (row >= maxRows) {
                        tooMany = true;
                        return false;
                    }
                    ++row;
                    return writer.addRow(texts, &result.cutCells);
                },
                progress, total, &readError);
        const bool complete = read && !tooMany;
        failed = writer.finish(complete, [&] {
            if (progress)
                progress(row, total);
        });
    }
    if (failed != LXW_NO_ERROR) {
        result.error = ExportWriteFailedText(path, workbookErrorText(failed));
        return result;
    }
    if (tooMany) {
        result.error = WorkbookTooManyRowsText(table.count(selection.where), maxRows);
        return result;
    }
    if (!read) {
        result.error = readError;
        return result;
    }
    takeTargetPermissions(temp.fileName(), path);
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        result.error = ExportWriteFailedText(path, QStringLiteral("Die fertige Datei kann nicht an ihren Platz gelegt "
                                                                  "werden (%1).")
                                                       .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return result;
    }
    temp.setAutoRemove(false);
    result.ok = true;
    result.rows = row;
    return result;
}

} // namespace vt
