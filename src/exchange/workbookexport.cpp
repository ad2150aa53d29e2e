#include "workbookexport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringView>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

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
            [&](const TextRows &texts) {
                // Records added since the count are still held to the limit.
                if (row >= maxRows) {
                    tooMany = true;
                    return false;
                }
                ++row;
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
