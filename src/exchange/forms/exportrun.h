#pragma once
// Running an export from a window: the hourglass, the progress in the main
// window's status bar with the user's input held back meanwhile, and the
// messages for what went wrong or what the user must know about the file.
#include "asciiexport.h"
#include "workbookexport.h"

class QWidget;

namespace vt {

inline const QString kWorkbookSheetName = QStringLiteral("Vantrel_Export");

// Asks for the workbook file and writes the columns of the records the open
// table shows into it; true when a file was written.
bool ExportGridToExcelFile(QWidget *parent, const QList<ExportColumn> &columns);

ExportResult RunWorkbookExport(const QList<ExportColumn> &columns, const QString &path);
ExportResult RunTextExport(const TextExportOptions &options, const ExportSelection &selection, const QString &path);

// A file name without a suffix gets this one.
QString WithDefaultSuffix(const QString &path, const QString &suffix);

} // namespace vt
