// Speed of the work on whole databases with 1,000,000 records (the base
// fields and ten user columns): a search step to a find near the end, a fuzzy
// step through the whole table without a find, a backup of every database, the
// restore of that backup, and a transfer of every record into another database.
// Prints "name: value unit" lines, the peak memory last.
#include "addresstable.h"
#include "benchfigures.h"
#include "databasebackup.h"
#include "databasefiles.h"
#include "paths.h"
#include "procmemory.h"
#include "recordsearch.h"
#include "recordtransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace vt;

namespace {

QStringList columnLines()
{
    QStringList lines;
    for (int k = 1; k <= 10; ++k)
        lines.append(QStringLiteral("Spalte %1").arg(k));
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const qint64 findAt = records - records / 1000;
    QTemporaryDir dir;
    const QString appFolder = dir.filePath(QStringLiteral("Vantrel/"));
    const QString data = appFolder + QStringLiteral("Data/");
    QDir().mkpath(data);
    const QString resources = QStringLiteral(VANTREL_RESOURCES_DIR "/");
    QFile::copy(resources + QStringLiteral("Buttons.ini"), appFolder + QStringLiteral("Buttons.ini"));
    for (const QString &f : QDir(resources + QStringLiteral("Data")).entryList(QDir::Files))
        QFile::copy(resources + QStringLiteral("Data/") + f, data + f);
    QString error;
    if (!CreateTableFile(data, QStringLiteral("Database"), &error) ||
        !CreateDatabase(appFolder, data, {QStringLiteral("Quelle"), QStringLiteral("quelle"), columnLines()}, &error) ||
        !CreateDatabase(appFolder, data, {QStringLiteral("Ziel"), QStringLiteral("ziel"), columnLines()}, &error))
        return Fail("bench_databases", error);
    const QString source = data + QStringLiteral("quelle.DB");
    {
        AddressTable t;
        if (!t.open(source))
            return Fail("bench_databases", t.lastError());
        QRandomGenerator rng(4711);
        bool ok = true;
        const double fill = Seconds([&] {
            TableAppender a(t);
            for (qint64 i = 0; i < records && ok; ++i) {
                a.setValue(1, rng.bounded(3) == 0);
                a.setValue(2, false);
                a.setText(4, QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97));
                a.setText(5, rng.bounded(2) ? QStringLiteral("Herr") : QStringLiteral("Frau"));
                a.setText(7, i == findAt ? QStringLiteral("Zielwort") : RandomWord(rng, 8));
                for (int k = 0; k < 10; ++k)
                    a.setText(8 + k, RandomWord(rng, 6 + k % 4));
                ok = a.append();
            }
            ok = ok && a.commit();
        });
        if (!ok)
            return Fail("bench_databases", t.lastError());
        PrintFigure("fill", fill, "s");
    }

    {
        AddressTable t;
        if (!t.open(source))
            return Fail("bench_databases", t.lastError());
        t.recordCount();
        SearchStepResult found;
        const double exact = Seconds([&] {
            found = SearchStep(t, TextSearch(TextSearch::Kind::IgnoreCase, QStringLiteral("zielwort")), false, false);
        });
        if (found.outcome != SearchStepResult::Outcome::Found || t.row() != findAt)
            return Fail("bench_databases", QStringLiteral("the exact search did not find record %1").arg(findAt));
        PrintFigure("search_exact_find_near_end", exact, "s");
        t.first();
        const double fuzzy = Seconds([&] {
            found = SearchStep(t, TextSearch(TextSearch::Kind::Fuzzy, QStringLiteral("7x9q3z")), false, false);
        });
        if (found.outcome != SearchStepResult::Outcome::NotFound)
            return Fail("bench_databases", QStringLiteral("the fuzzy search found something: ") + found.error);
        PrintFigure("search_fuzzy_whole_table", fuzzy, "s");
    }

    const QString target = dir.filePath(QStringLiteral("Sicherung/"));
    QDir().mkpath(target);
    bool ok = false;
    const double backup = Seconds([&] { ok = CreateBackup(appFolder, data, target, {}, &error); });
    if (!ok)
        return Fail("bench_databases", error);
    PrintFigure("backup_1m", backup, "s");

    const double restore = Seconds([&] {
        RestoreStage stage;
        ok = stage.prepare(appFolder, data, target, {}, &error) && stage.swap(&error);
    });
    if (!ok)
        return Fail("bench_databases", error);
    PrintFigure("restore_1m", restore, "s");

    AddressTable into;
    if (!into.open(data + QStringLiteral("ziel.DB")))
        return Fail("bench_databases", into.lastError());
    ColumnMapping mapping;
    for (int k = 1; k <= 10; ++k)
        mapping.append({QStringLiteral("Spalte%1").arg(k), QStringLiteral("Spalte%1").arg(k)});
    qint64 copied = 0;
    const double transfer = Seconds([&] { ok = TransferRecords(into, source, false, mapping, {}, &copied, &error); });
    if (!ok || copied != records || into.recordCount() != records)
        return Fail("bench_databases", QStringLiteral("transfer: %1").arg(error));
    PrintFigure("transfer_1m", transfer, "s");
    PrintFigure("peak_rss", double(ProcessMemoryKb("VmHWM:")) / 1024.0, "MB");
    return 0;
}
