// Speed of the work on whole databases with 1,000,000 records (the base
// fields and ten user columns): a search step to a find near the end, a fuzzy
// step through the whole table without a find, a backup of every database, the
// restore of that backup, and a transfer of every record into another database.
// Beside the transfer, a plain SQLite INSERT ... SELECT of the same rows into a
// copy of the same empty table, with the source attached (sqlitepeer.h), and
// the ratio of the two. Prints "name: value unit" lines, the peak memory last.
//
// bench_databases [records] [source]: a source table filled by an earlier run
// (VANTREL_BENCH_KEEP names where a run keeps its own) is copied instead of
// filled anew; VANTREL_BENCH_STEPS (search, backup, transfer, separated by
// commas) runs only those steps.
#include "addresstable.h"
#include "benchfigures.h"
#include "databasebackup.h"
#include "databasefiles.h"
#include "paths.h"
#include "procmemory.h"
#include "recordsearch.h"
#include "recordtransfer.h"
#include "sqlitepeer.h"

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
    const QString filled = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!filled.isEmpty()) {
        if (!QFile::remove(source) || !QFile::copy(filled, source))
            return Fail("bench_databases", QStringLiteral("cannot copy ") + filled);
    } else {
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
        if (!qEnvironmentVariableIsEmpty("VANTREL_BENCH_KEEP"))
            QFile::copy(source, qEnvironmentVariable("VANTREL_BENCH_KEEP"));
    }
    const QStringList steps = qEnvironmentVariable("VANTREL_BENCH_STEPS").split(u',', Qt::SkipEmptyParts);
    auto wanted = [&](const char *step) { return steps.isEmpty() || steps.contains(QLatin1String(step)); };

    if (wanted("search")) {
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

    bool ok = false;
    if (wanted("backup")) {
        const QString target = dir.filePath(QStringLiteral("Sicherung/"));
        QDir().mkpath(target);
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
    }

    if (wanted("transfer")) {
        // The peer fills a copy of the same empty table.
        const QString into = data + QStringLiteral("ziel.DB"), peer = dir.filePath(QStringLiteral("Peer.DB"));
        if (!QFile::copy(into, peer))
            return Fail("bench_databases", QStringLiteral("cannot copy the empty table"));
        AddressTable t;
        if (!t.open(into))
            return Fail("bench_databases", t.lastError());
        ColumnMapping mapping;
        for (int k = 1; k <= 10; ++k)
            mapping.append({QStringLiteral("Spalte%1").arg(k), QStringLiteral("Spalte%1").arg(k)});
        qint64 copied = 0;
        const double transfer = Seconds([&] { ok = TransferRecords(t, source, false, mapping, {}, &copied, &error); });
        if (!ok || copied != records || t.recordCount() != records)
            return Fail("bench_databases", QStringLiteral("transfer: %1").arg(error));
        PrintFigure("transfer_1m", transfer, "s");

        // A plain INSERT ... SELECT into a table with its indexes in place
        // updates every index record by record, out of order: several times
        // slower. The peer does what plain SQLite does best, as the program
        // does: the indexes are dropped and made again after the rows.
        PeerConnection c(peer);
        const QByteArray attach = "ATTACH DATABASE '" + QFile::encodeName(source) + "' AS src";
        QStringList columns, drops, creates;
        for (const FieldDef &f : t.fields())
            if (f.type != FieldType::Boolean)
                columns.append(QStringLiteral("\"%1\"").arg(f.name));
        {
            sqlite3_stmt *s = nullptr;
            sqlite3_prepare_v2(c.handle(),
                               "SELECT name, sql FROM main.sqlite_master WHERE type = 'index' AND sql IS NOT NULL", -1,
                               &s, nullptr);
            while (s && sqlite3_step(s) == SQLITE_ROW) {
                auto text = [&](int i) {
                    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, i)));
                };
                drops.append(QStringLiteral("DROP INDEX \"%1\";").arg(text(0)));
                creates.append(text(1) + QLatin1Char(';'));
            }
            sqlite3_finalize(s);
        }
        const QByteArray copy =
            QStringLiteral("BEGIN; %1 INSERT INTO address (%2) SELECT %2 FROM src.address; INSERT "
                           "INTO address_flags SELECT * FROM src.address_flags; %3 COMMIT;")
                .arg(drops.join(QLatin1Char(' ')), columns.join(QStringLiteral(", ")), creates.join(QLatin1Char(' ')))
                .toUtf8();
        ok = c.ok() && !creates.isEmpty() && c.exec(attach.constData());
        const double peerSeconds = Seconds([&] { ok = ok && c.exec(copy.constData()); });
        if (!ok || c.value("SELECT count(*) FROM address") != records)
            return Fail("bench_databases", QStringLiteral("peer transfer: %1").arg(c.error()));
        PrintFigure("peer_transfer_1m_s", peerSeconds, "s");
        PrintRatio("transfer_ratio_to_peer", transfer, peerSeconds);
    }
    PrintFigure("peak_rss", double(ProcessMemoryKb("VmHWM:")) / 1024.0, "MB");
    return 0;
}
