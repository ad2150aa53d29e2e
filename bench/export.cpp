// Speed and memory of the two exports on 1,000,000 records of the shipped base
// database with ten user columns: the workbook of every column and the padded
// text file of every field with its title line, each read through the table's
// forward-only pass and streamed to its file.
// Prints "name: value unit" lines; peak_rss is the peak of the exports alone
// (the peak is reset after the table has been filled).
#include "addresstable.h"
#include "asciiexport.h"
#include "benchfigures.h"
#include "definitionfiles.h"
#include "procmemory.h"
#include "textfile.h"
#include "workbookexport.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace vt;

namespace {

const QString kLetters = QStringLiteral("abcdefghijklmnopqrstuvwxyzäöüßABCDEFGHIJKLMNOPQRSTUVWXYZ");

// Lets the next reading of the peak start from what the process holds now.
void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    QStringList pro = ReadLines(QStringLiteral(VANTREL_RESOURCES_DIR "/Data/database.pro"));
    if (pro.size() < 9)
        return Fail("bench_export", QStringLiteral("the template database.pro was not found"));
    for (int k = 1; k <= 10; ++k)
        pro.append(UserColumnDefinitionLine(k, QStringLiteral("Spalte %1").arg(k)));
    const TableDefinition def = TableDefinitionFromLines(pro);
    const QString path = dir.filePath(QStringLiteral("Bench.DB"));
    QString error;
    if (!def.ok() || !AddressTable::create(path, def.fields, def.indexes, &error))
        return Fail("bench_export", def.error + error);

    AddressTable t;
    if (!t.open(path))
        return Fail("bench_export", t.lastError());
    {
        QRandomGenerator rng(4711);
        TableAppender a(t);
        auto set = [&](const char *field, const QVariant &v) { return a.setValue(t.fieldIndex(field), v); };
        for (qint64 i = 0; i < records; ++i) {
            set("Selected", rng.bounded(3) == 0);
            set("Invalid", false);
            if (i % 4 == 0)
                set("LetztesMail", QDate(2024, 1, 1).addDays(i % 365));
            set("Mail", QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97));
            set("Anrede", rng.bounded(2) ? QStringLiteral("Herr") : QStringLiteral("Frau"));
            set("Name", RandomWord(rng, 8, kLetters));
            set("Vorname", RandomWord(rng, 6, kLetters));
            if (i % 3 == 0)
                set("Firma", RandomWord(rng, 12, kLetters) + QStringLiteral(" GmbH"));
            set("Str", RandomWord(rng, 10, kLetters) + QStringLiteral("str. ") + QString::number(i % 200));
            set("PLZ", QStringLiteral("%1").arg(i % 99999, 5, 10, QLatin1Char('0')));
            set("Ort", RandomWord(rng, 9, kLetters));
            set("Land", QStringLiteral("Deutschland"));
            set("Tel", QStringLiteral("0%1").arg(rng.bounded(100000000, 999999999)));
            set("Kategorie", QStringLiteral("Kunde"));
            for (int k = 1; k <= 10; ++k)
                a.setText(t.fieldIndex(QStringLiteral("Spalte%1").arg(k)), RandomWord(rng, 6 + k % 4, kLetters));
            if (!a.append())
                return Fail("bench_export", a.lastError());
        }
        if (!a.commit())
            return Fail("bench_export", a.lastError());
    }
    std::printf("records: %lld\nfields: %d\n", records, t.fieldCount());
    std::printf("rss_after_fill: %.1f MiB\n", ProcessMemoryKb() / 1024.0);
    resetPeakMemory();

    QElapsedTimer clock;
    QList<int> every;
    for (int f = 0; f < t.fieldCount(); ++f)
        every.append(f);
    // What both exports cost before writing a byte: the records read as texts (UTF-8).
    clock.start();
    qint64 read = 0;
    if (!ScanUtf8(
            t, ShownRecords(t), every, [&](const TextRows &) { return ++read, true; }, {}, records, &error))
        return Fail("bench_export", error);
    PrintFigure("read_texts_s", double(clock.nsecsElapsed()) / 1e9, "s", 3);

    QList<ExportColumn> columns;
    for (int f = 0; f < t.fieldCount(); ++f)
        columns.append({f, ParseFieldDefinitionLine(pro.at(f + 1)).displayName});
    const QString workbook = dir.filePath(QStringLiteral("export.xlsx"));
    clock.restart();
    ExportResult r = WriteGridToWorkbook(t, columns, workbook, QStringLiteral("Vantrel_Export"), ShownRecords(t));
    if (!r.ok || r.rows != records)
        return Fail("bench_export", QStringLiteral("workbook: ") + r.error);
    PrintFigure("xlsx_1m_s", double(clock.nsecsElapsed()) / 1e9, "s", 3);
    std::printf("xlsx_size: %.1f MiB\n", double(QFile(workbook).size()) / (1024.0 * 1024.0));
    std::printf("peak_rss_after_xlsx: %.1f MiB\n", ProcessMemoryKb("VmHWM:") / 1024.0);
    QFile::remove(workbook);

    TextExportOptions options;
    options.widths = TextExportWidths(pro, t.fieldCount());
    options.fields = every;
    const QString text = dir.filePath(QStringLiteral("export.csv"));
    clock.restart();
    r = WriteTextExport(t, options, ShownRecords(t), text);
    if (!r.ok || r.rows != records)
        return Fail("bench_export", QStringLiteral("text: ") + r.error);
    PrintFigure("csv_1m_s", double(clock.nsecsElapsed()) / 1e9, "s", 3);
    std::printf("csv_size: %.1f MiB\n", double(QFile(text).size()) / (1024.0 * 1024.0));
    QFile::remove(text);
    std::printf("peak_rss: %.1f MiB\n", ProcessMemoryKb("VmHWM:") / 1024.0);
    return 0;
}
