// Speed of the work on whole databases with 1,000,000 records (the base
// fields and ten user columns): a search step to a find near the end, a fuzzy
// step through the whole table without a find, a backup of every database, the
// restore of that backup, and a transfer of every record into another database.
// Prints "name: value unit" lines, the peak memory last.
#include "addresstable.h"
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

double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.4f %s\n", name, value, unit);
    std::fflush(stdout);
}

int fail(const QString &what)
{
    std::fprintf(stderr, "bench_databases: %s\n", qPrintable(what));
    return 1;
}

QString randomWord(QRandomGenerator &rng, int length)
{
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzäöüABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QString s;
    for (int i = 0; i < length; ++i)
        s += letters.at(int(rng.bounded(quint32(letters.size()))));
    return s;
}

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
        return fail(error);
    const QString source = data + QStringLiteral("quelle.DB");
    {
        AddressTable t;
        if (!t.open(source))
            return fail(t.lastError());
        QRandomGenerator rng(4711);
        bool ok = true;
        const double fill = seconds([&] {
            TableAppender a(t);
            for (qint64 i = 0; i < records && ok; ++i) {
                a.setValue(1, rng.bounded(3) == 0);
                a.setValue(2, false);
                a.setText(4, QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97));
                a.setText(5, rng.bounded(2) ? QStringLiteral("Herr") : QStringLiteral("Frau"));
                a.setText(7, i == findAt ? QStringLiteral("Zielwort") : randomWord(rng, 8));
                for (int k = 0; k < 10; ++k)
                    a.setText(8 + k, randomWord(rng, 6 + k % 4));
                ok = a.append();
            }
            ok = ok && a.commit();
        });
        if (!ok)
            return fail(t.lastError());
        print("fill", fill, "s");
    }

    {
        AddressTable t;
        if (!t.open(source))
            return fail(t.lastError());
        t.recordCount();
        SearchStepResult found;
        const double exact = seconds([&] {
            found = SearchStep(t, TextSearch(TextSearch::Kind::IgnoreCase, QStringLiteral("zielwort")), false, false);
        });
        if (found.outcome != SearchStepResult::Outcome::Found || t.row() != findAt)
            return fail(QStringLiteral("the exact search did not find record %1").arg(findAt));
        print("search_exact_find_near_end", exact, "s");
        t.first();
        const double fuzzy = seconds([&] {
            found = SearchStep(t, TextSearch(TextSearch::Kind::Fuzzy, QStringLiteral("7x9q3z")), false, false);
        });
        if (found.outcome != SearchStepResult::Outcome::NotFound)
            return fail(QStringLiteral("the fuzzy search found something: ") + found.error);
        print("search_fuzzy_whole_table", fuzzy, "s");
    }

    const QString target = dir.filePath(QStringLiteral("Sicherung/"));
    QDir().mkpath(target);
    bool ok = false;
    const double backup = seconds([&] { ok = CreateBackup(appFolder, data, target, {}, &error); });
    if (!ok)
        return fail(error);
    print("backup_1m", backup, "s");

    const double restore = seconds([&] {
        RestoreStage stage;
        ok = stage.prepare(appFolder, data, target, {}, &error) && stage.swap(&error);
    });
    if (!ok)
        return fail(error);
    print("restore_1m", restore, "s");

    AddressTable into;
    if (!into.open(data + QStringLiteral("ziel.DB")))
        return fail(into.lastError());
    ColumnMapping mapping;
    for (int k = 1; k <= 10; ++k)
        mapping.append({QStringLiteral("Spalte%1").arg(k), QStringLiteral("Spalte%1").arg(k)});
    qint64 copied = 0;
    const double transfer = seconds([&] { ok = TransferRecords(into, source, false, mapping, {}, &copied, &error); });
    if (!ok || copied != records || into.recordCount() != records)
        return fail(QStringLiteral("transfer: %1").arg(error));
    print("transfer_1m", transfer, "s");
    print("peak_rss", double(ProcessMemoryKb("VmHWM:")) / 1024.0, "MB");
    return 0;
}
