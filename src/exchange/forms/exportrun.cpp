#include "exportrun.h"
#include "filedialogs.h"
#include "inputblocker.h"
#include "mainstate.h"
#include "messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <functional>

namespace vt {

namespace {

ExportResult withProgress(const std::function<ExportResult(const ExportProgress &)> &work)
{
    TMainState &s = MainState();
    const QLocale de(QLocale::German, QLocale::Germany);
    ExportResult r;
    {
        const InputBlocker blocker;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        r = work([&](qint64 done, qint64 total) {
            s.setStatusText(QStringLiteral("Export: %1 von %2 Datensätzen").arg(de.toString(done), de.toString(total)));
            QCoreApplication::processEvents();
        });
        QApplication::restoreOverrideCursor();
    }
    s.setStatusText(r.ok ? QStringLiteral("%1 Datensätze exportiert").arg(de.toString(r.rows)) : QString());
    if (!r.ok)
        error(r.error);
    return r;
}

} // namespace

QString WithDefaultSuffix(const QString &path, const QString &suffix)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

ExportResult RunWorkbookExport(const QList<ExportColumn> &columns, const QString &path)
{
    AddressTable *t = MainState().CurrentTable;
    if (!t)
        return {};
    const ExportResult r = withProgress([&](const ExportProgress &progress) {
        return WriteGridToWorkbook(*t, columns, path, kWorkbookSheetName, ShownRecords(*t), progress);
    });
    if (r.ok && r.cutCells > 0)
        information(QStringLiteral("%1 Werte waren länger als %2 Zeichen, mehr fasst eine Zelle einer Excel-Datei "
                                   "nicht. Sie wurden gekürzt.")
                        .arg(r.cutCells)
                        .arg(QLocale(QLocale::German, QLocale::Germany).toString(kWorkbookMaxCellChars)));
    return r;
}

ExportResult RunTextExport(const TextExportOptions &options, const ExportSelection &selection, const QString &path)
{
    AddressTable *t = MainState().CurrentTable;
    if (!t)
        return {};
    const ExportResult r = withProgress(
        [&](const ExportProgress &progress) { return WriteTextExport(*t, options, selection, path, progress); });
    if (r.ok && r.utf8)
        information(QStringLiteral("Einige Werte enthalten Zeichen, die der Windows-Zeichensatz nicht darstellen kann. "
                                   "Die Datei wurde deshalb im Format UTF-8 gespeichert."));
    return r;
}

bool ExportGridToExcelFile(QWidget *parent, const QList<ExportColumn> &columns)
{
    const TMainState &s = MainState();
    if (!s.CurrentTable)
        return false;
    const QString folder = QDir(s.ExportFolder).exists() ? s.ExportFolder : QString();
    const QString chosen = FileDialogs::instance().saveFile(parent, QStringLiteral("Speichern unter"), folder,
                                                            QStringLiteral("Excel-Datei (*.xlsx)"));
    if (chosen.isEmpty())
        return false;
    return RunWorkbookExport(columns, WithDefaultSuffix(chosen, QStringLiteral("xlsx"))).ok;
}

} // namespace vt
