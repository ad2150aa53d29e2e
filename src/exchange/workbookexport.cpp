#include "workbookexport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
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

    lxw_error failed = LXW_NO_ERROR;
    QByteArray utf8;
    auto cell = [&](qint64 row, int column, const QString &text) {
        if (text.isEmpty())
            return true;
        if (text.size() > kWorkbookMaxCellChars) {
            // Cut between two characters, never inside a surrogate pair.
            int keep = kWorkbookMaxCellChars;
            if (text.at(keep - 1).isHighSurrogate())
                --keep;
            utf8 = text.left(keep).toUtf8();
            ++result.cutCells;
        } else {
            utf8 = text.toUtf8();
        }
        failed = worksheet_write_string(sheet, lxw_row_t(row), lxw_col_t(column), utf8.constData(), nullptr);
        return failed == LXW_NO_ERROR;
    };

    // A title left empty would leave its column unnamed: the field's name stands in.
    for (int c = 0; c < columns.size(); ++c) {
        const ExportColumn &col = columns.at(c);
        if (!cell(0, c, col.title.trimmed().isEmpty() ? table.field(col.field).name : col.title))
            break;
    }
    QList<int> fields;
    for (const ExportColumn &col : columns)
        fields.append(col.field);

    qint64 row = 0;
    bool tooMany = false;
    QString readError;
    const bool read = failed == LXW_NO_ERROR && ScanTexts(
                                                    table, selection, fields,
                                                    [&](const QStringList &texts) {
                                                        // Records added since the count are still held to the limit.
                                                        if (row >= maxRows) {
                                                            tooMany = true;
                                                            return false;
                                                        }
                                                        ++row;
                                                        for (int c = 0; c < texts.size(); ++c)
                                                            if (!cell(row, c, texts.at(c)))
                                                                return false;
                                                        return true;
                                                    },
                                                    progress, total, &readError);
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
    const lxw_error closed = book.close();
    if (closed != LXW_NO_ERROR) {
        result.error = ExportWriteFailedText(path, workbookErrorText(closed));
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
