#include "workbookexport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringView>

#include <minizip/zip.h>
#include <xlsxwriter.h>

#include <atomic>
#include <dlfcn.h>
#include <memory>

namespace {

// Workbooks of ours being packed now.
std::atomic<int> g_packing{0};

} // namespace

// libxlsxwriter packs a workbook at zlib's default level and has no setting
// for it. It opens each part of the package through minizip, which the dynamic
// linker looks up in the program first: this definition stands in for
// minizip's own and passes every call on, asking for zlib's fastest level while
// one of our workbooks is packed. That packs the sheet of a big export in a
// fraction of the time for a somewhat larger file.
extern "C" __attribute__((visibility("default"))) int
zipOpenNewFileInZip4_64(zipFile file, const char *filename, const zip_fileinfo *zipfi, const void *extrafield_local,
                        uInt size_extrafield_local, const void *extrafield_global, uInt size_extrafield_global,
                        const char *comment, int method, int level, int raw, int windowBits, int memLevel, int strategy,
                        const char *password, uLong crcForCrypting, uLong versionMadeBy, uLong flagBase, int zip64)
{
    using Open = decltype(&zipOpenNewFileInZip4_64);
    static const Open minizip = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!minizip)
        return ZIP_INTERNALERROR;
    if (method == Z_DEFLATED && level == Z_DEFAULT_COMPRESSION && g_packing.load() > 0)
        level = Z_BEST_SPEED;
    return minizip(file, filename, zipfi, extrafield_local, size_extrafield_local, extrafield_global,
                   size_extrafield_global, comment, method, level, raw, windowBits, memLevel, strategy, password,
                   crcForCrypting, versionMadeBy, flagBase, zip64);
}

namespace vt {

namespace {

// The buffer of the temporary file that takes the sheet's rows.
constexpr size_t kSheetBufferBytes = 1 << 20;

QString workbookErrorText(lxw_error e)
{
    if (e == LXW_ERROR_CREATING_XLSX_FILE || e == LXW_ERROR_CREATING_TMPFILE)
        return QStringLiteral("Der Ordner ist nicht beschreibbar oder der Datenträger ist voll.");
    return QStringLiteral("Beim Schreiben der Arbeitsmappe ist ein Fehler aufgetreten (%1).")
        .arg(QString::fromUtf8(lxw_strerror(e)));
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
        if (!m_book)
            return;
        // Freeing a book leaves the file of its sheet's rows open: it is closed
        // here, before its buffer goes.
        if (m_sheet && m_sheet->optimize_tmpfile) {
            std::fclose(m_sheet->optimize_tmpfile);
            m_sheet->optimize_tmpfile = nullptr;
            m_sheet->file = nullptr;
        }
        lxw_workbook_free(m_book);
    }
    lxw_workbook *get() const { return m_book; }
    // The sheet, its rows written to their temporary file a megabyte at a time.
    lxw_worksheet *addSheet(const QString &name)
    {
        lxw_worksheet *sheet = m_book ? workbook_add_worksheet(m_book, name.toUtf8().constData()) : nullptr;
        if (sheet && sheet->optimize_tmpfile && !m_sheet) {
            m_sheet = sheet;
            m_sheetBuffer = std::make_unique<char[]>(kSheetBufferBytes);
            std::setvbuf(sheet->optimize_tmpfile, m_sheetBuffer.get(), _IOFBF, kSheetBufferBytes);
        }
        return sheet;
    }
    lxw_error close()
    {
        lxw_workbook *b = m_book;
        m_book = nullptr;
        ++g_packing;
        const lxw_error e = workbook_close(b);
        --g_packing;
        // A close that succeeds has closed the sheet's file; one that fails may
        // have left it open on its buffer, which then is never freed.
        if (e != LXW_NO_ERROR)
            static_cast<void>(m_sheetBuffer.release());
        m_sheet = nullptr;
        return e;
    }
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

private:
    QByteArray m_tempFolder;
    std::unique_ptr<char[]> m_sheetBuffer; // outlives the file it buffers: freed after the book
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr; // the one sheet whose file has that buffer
};

// The text of a cell as libxlsxwriter takes it: a C string without a zero
// inside (a cell cannot hold it, and it would end the value early), without
// U+FFFE and U+FFFF (which XML does not allow), cut between two characters to
// what a cell holds. The value's own bytes when they are that already (a cell
// of TextRows ends with a zero), else the text made in scratch.
const char *cellText(QByteArrayView v, const ByteFinder &careful, QByteArray &scratch, bool *cut)
{
    *cut = false;
    if (v.size() <= kWorkbookMaxCellChars && careful.find(v.data(), v.size()) < 0)
        return v.data();
    scratch.resize(0);
    const auto *p = reinterpret_cast<const unsigned char *>(v.data());
    const qsizetype n = v.size();
    qsizetype units = 0; // UTF-16 code units, in which a cell's size is counted
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        const int length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        const int charUnits = length == 4 ? 2 : 1;
        if (units + charUnits > kWorkbookMaxCellChars) {
            *cut = true;
            break;
        }
        units += charUnits;
        const bool noncharacter =
            length == 3 && c == 0xEF && i + 2 < n && p[i + 1] == 0xBF && (p[i + 2] & 0xFE) == 0xBE;
        if (c != 0 && !noncharacter)
            scratch.append(v.data() + i, qMin<qsizetype>(length, n - i));
        i += length;
    }
    scratch.append('\0');
    return scratch.constData();
}

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
    ExportTarget target(path);
    if (!target.create(&result.error))
        return result;
    target.file().close();

    Workbook book(target.tempPath(), folder);
    lxw_worksheet *sheet = book.addSheet(sheetName);
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
    // The cells go into the sheet on the pipeline's thread while the table is
    // read, and the workbook is packed there too, so the window keeps painting.
    lxw_error failed = LXW_NO_ERROR;
    qint64 sheetRow = 0;
    const ByteFinder careful{'\0'};
    QByteArray scratch;
    RowPipeline sheetWriter(int(columns.size()), [&](const TextRows &records) {
        for (qsizetype r = 0; r < records.rows(); ++r) {
            for (int c = 0; c < records.columns(); ++c) {
                const QByteArrayView text = records.cell(r, c);
                if (text.isEmpty())
                    continue;
                bool cut;
                const char *cell = cellText(text, careful, scratch, &cut);
                result.cutCells += cut;
                failed = worksheet_write_string(sheet, lxw_row_t(sheetRow), lxw_col_t(c), cell, nullptr);
                if (failed != LXW_NO_ERROR)
                    return false;
            }
            ++sheetRow;
        }
        return true;
    });

    qint64 row = 0;
    bool tooMany = false;
    QString readError;
    bool read = false;
    if (sheetWriter.push(titles))
        read = ScanUtf8(
            table, selection, fields,
            [&](TextRows &texts) {
                // Records added since the count are still held to the limit.
                if (row + texts.rows() > maxRows) {
                    tooMany = true;
                    return false;
                }
                row += texts.rows();
                return sheetWriter.push(texts);
            },
            progress, total, &readError);
    sheetWriter.finish(
        read && !tooMany, [&] { return (failed = book.close()) == LXW_NO_ERROR; },
        [&] {
            if (progress)
                progress(row, total);
        });
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
    if (!target.commit(&result.error))
        return result;
    result.ok = true;
    result.rows = row;
    return result;
}

} // namespace vt
