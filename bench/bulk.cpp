// Speed of the tools that change many records at once, on 1,000,000 records
// (the base fields and ten user columns): about 5 % of the addresses are
// doubled (in another letter case), about 1 % are no addresses, every second
// record is marked, and a user column holds about 10 % doubles. Each figure
// is timed on a freshly opened table, with the memory the step took at its
// peak beside it. The steps that delete run on a copy of the table, and a
// plain SQLite statement does the same work on a second copy right after
// (sqlitepeer.h): its time and the ratio stand beside the program's.
// Prints "name: value unit" lines.
//
// bench_bulk [records] [table]: a table filled by an earlier run (its records
// as given) is copied instead of filled anew; VANTREL_BENCH_STEPS (names
// separated by commas) runs only those steps.
#include "addresstable.h"
#include "bccfiles.h"
#include "benchfigures.h"
#include "bulktools.h"
#include "datasettools.h"
#include "definitionfiles.h"
#include "procmemory.h"
#include "sqlitepeer.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace vt;

namespace {

QStringList definitionLines()
{
    QStringList pro = ReadLines(QStringLiteral(VANTREL_RESOURCES_DIR "/Data/database.pro")).mid(0, 9);
    for (int k = 1; k <= 10; ++k)
        pro.append(UserColumnDefinitionLine(k, QStringLiteral("Spalte %1").arg(k)));
    return pro;
}

// Starts a new peak of the resident memory (Linux keeps one per process).
long restartPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return ProcessMemoryKb("VmRSS:");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Bench.DB"));
    const TableDefinition def = TableDefinitionFromLines(definitionLines());
    QString error;
    const QString filled = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!filled.isEmpty()) {
        if (!QFile::copy(filled, path))
            return Fail("bench_bulk", QStringLiteral("cannot copy ") + filled);
    } else if (!def.ok() || !AddressTable::create(path, def.fields, def.indexes, &error)) {
        return Fail("bench_bulk", def.error + error);
    }
    if (filled.isEmpty()) {
        AddressTable t;
        if (!t.open(path))
            return Fail("bench_bulk", t.lastError());
        QElapsedTimer timer;
        timer.start();
        TableAppender a(t);
        bool ok = true;
        for (qint64 i = 0; i < records && ok; ++i) {
            QString mail = QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97);
            if (i % 20 == 19) // a double of an earlier address
                mail = QStringLiteral("User%1@Example%2.DE").arg(i - 7).arg((i - 7) % 97);
            else if (i % 100 == 3)
                mail = QStringLiteral("kaputt%1.example.de").arg(i);
            a.setValue(1, i % 2 == 0);
            a.setValue(2, false);
            a.setText(4, mail);
            a.setText(5, i % 3 ? QStringLiteral("Herr") : QStringLiteral("Frau"));
            a.setText(7, QStringLiteral("Name %1").arg(i % 50000));
            a.setText(6, i % 1000 == 0 ? QStringLiteral("Muster GmbH %1").arg(i) : QStringLiteral("Anfrage %1").arg(i));
            a.setText(8, QStringLiteral("K%1").arg(i % (records - records / 10)));
            for (int k = 1; k < 10; ++k)
                a.setText(8 + k, QStringLiteral("Wert %1-%2").arg(k).arg(i));
            ok = a.append();
        }
        if (!ok || !a.commit())
            return Fail("bench_bulk", t.lastError());
        PrintFigure("fill", double(timer.nsecsElapsed()) / 1e9, "s");
    }

    // Times the work on a freshly opened table, after what prepares it; each
    // says whether it did what it should.
    const QStringList steps = qEnvironmentVariable("VANTREL_BENCH_STEPS").split(u',', Qt::SkipEmptyParts);
    auto run = [&](const char *name, const std::function<bool(AddressTable &)> &work,
                   const std::function<bool(AddressTable &)> &prepare = {}) {
        if (!steps.isEmpty() && !steps.contains(QLatin1String(name)))
            return true;
        AddressTable t;
        if (!t.open(path) || (prepare && !prepare(t))) {
            Fail("bench_bulk", QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
            return false;
        }
        const long before = restartPeak();
        QElapsedTimer timer;
        timer.start();
        const bool ok = work(t);
        const double s = double(timer.nsecsElapsed()) / 1e9;
        if (!ok) {
            Fail("bench_bulk", QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
            return false;
        }
        PrintFigure(name, s, "s");
        std::printf("%s_memory: %.1f MiB\n", name, double(ProcessMemoryKb("VmHWM:") - before) / 1024.0);
        return true;
    };
    const QString column = QStringLiteral("Spalte1");

    bool ok = run("mark_id_range", [&](AddressTable &t) {
        const BulkResult r = MarkIdRange(t, records / 4, records / 4 * 3, true);
        return r.ok() && r.count == records / 2 + 1;
    });
    ok = ok && run("check_all_addresses", [&](AddressTable &t) {
             const BulkResult r = CheckAllAddresses(t);
             return r.ok() && r.count == records / 100;
         });
    // The check unmarked every record: half of them are marked again.
    auto markHalf = [&](AddressTable &t) { return MarkIdRange(t, 1, records / 2, true).count == records / 2; };
    ok = ok && run(
                   "set_column_for_marked",
                   [&](AddressTable &t) {
                       const BulkResult r =
                           SetColumnText(t, QStringLiteral("Spalte2"), QStringLiteral("geändert"), true);
                       return r.ok() && r.count == records / 2;
                   },
                   markHalf);
    ok = ok && run(
                   "bcc_files_500000_marked",
                   [&](AddressTable &t) {
                       QString why;
                       const QString list = BuildAddressString(&t, FindMailField(&t), QStringLiteral("; "));
                       int files = 0;
                       const bool written = WriteBccFiles(dir.filePath(QStringLiteral("Export")), list, &files, &why);
                       if (!written)
                           Fail("bench_bulk", why);
                       // The marked records less those without an address,
                       // 245 addresses a file.
                       const qint64 addresses = list.count(u';') + 1;
                       return written && addresses == records / 2 - records / 200 && files == (addresses + 244) / 245;
                   },
                   markHalf);
    // The preset filter on the marks, as the main window switches it on, to
    // its count label: in the order of the key and of an index.
    for (const char *order : {"ID", "Mail"}) {
        const QByteArray name = QByteArray("marked_filter_count_by_") + order;
        ok = ok && run(
                       name.constData(),
                       [&](AddressTable &t) {
                           return t.setFilterText(QStringLiteral("Selected='True'")) && t.setFiltered(true) &&
                                  t.recordCount() == records / 2;
                       },
                       [&](AddressTable &t) { return markHalf(t) && t.setIndexName(QLatin1String(order)); });
    }
    ok = ok && run("mark_by_text", [&](AddressTable &t) {
             const BulkResult r = MarkRecordsContaining(t, QStringLiteral("muster gmbh"));
             return r.ok() && r.count == records / 1000;
         });
    ok = ok && run("duplicates_user_column_mark", [&](AddressTable &t) {
             const DuplicateGroups g = FindDuplicates(t, t.fieldIndex(column));
             return g.ok() && g.values() == records / 10 && MarkDuplicates(t, g, true).count == records / 5;
         });
    // The program's work and the peer's on two copies of the table as the
    // preparation left it, one right after the other; both must leave the same
    // records behind.
    auto compare = [&](const char *name, const char *peerName, const char *ratioName,
                       const std::function<bool(AddressTable &)> &prepare,
                       const std::function<bool(AddressTable &)> &work, const char *peerSql) {
        if (!steps.isEmpty() && !steps.contains(QLatin1String(name)))
            return true;
        {
            AddressTable t;
            if (!t.open(path) || !prepare(t)) {
                Fail("bench_bulk", QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
                return false;
            }
        }
        const QString ours = dir.filePath(QStringLiteral("Ours.DB")), peer = dir.filePath(QStringLiteral("Peer.DB"));
        QFile::remove(ours);
        QFile::remove(peer);
        if (!QFile::copy(path, ours) || !QFile::copy(path, peer)) {
            Fail("bench_bulk", QStringLiteral("%1: cannot copy the table").arg(QLatin1String(name)));
            return false;
        }
        double oursSeconds = 0;
        {
            AddressTable t;
            if (!t.open(ours)) {
                Fail("bench_bulk", QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
                return false;
            }
            const long before = restartPeak();
            bool ok = false;
            oursSeconds = Seconds([&] { ok = work(t); });
            if (!ok) {
                Fail("bench_bulk", QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
                return false;
            }
            PrintFigure(name, oursSeconds, "s");
            std::printf("%s_memory: %.1f MiB\n", name, double(ProcessMemoryKb("VmHWM:") - before) / 1024.0);
        }
        double peerSeconds = 0;
        {
            PeerConnection c(peer);
            bool ok = c.ok();
            peerSeconds = Seconds([&] { ok = ok && c.exec(peerSql); });
            if (!ok) {
                Fail("bench_bulk", QStringLiteral("%1: %2").arg(QLatin1String(peerName), c.error()));
                return false;
            }
        }
        PrintFigure(peerName, peerSeconds, "s");
        PrintRatio(ratioName, oursSeconds, peerSeconds);
        // The records left, their keys and their marks.
        const char *fingerprint = "SELECT (SELECT count(*) || ' ' || total(ID) FROM address) || ' ' || (SELECT "
                                  "count(*) || ' ' || total(vt_rid * 3 + ifnull(Selected, 0) + 2 * ifnull(Invalid, "
                                  "0)) FROM address_flags)";
        auto print = [&](const QString &file) {
            PeerConnection c(file);
            sqlite3_stmt *s = nullptr;
            QString out;
            if (sqlite3_prepare_v2(c.handle(), fingerprint, -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW)
                out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
            sqlite3_finalize(s);
            return out;
        };
        const QString a = print(ours), b = print(peer);
        QFile::remove(ours);
        QFile::remove(peer);
        if (a.isEmpty() || a != b) {
            Fail("bench_bulk", QStringLiteral("%1: the program left %2, the peer %3").arg(QLatin1String(name), a, b));
            return false;
        }
        return true;
    };
    ok = ok && compare(
                   "delete_invalid", "peer_delete_invalid_s", "delete_invalid_ratio_to_peer",
                   [&](AddressTable &t) {
                       return t.count(IsTrue(QStringLiteral("Invalid"))) == records / 100 ||
                              CheckAllAddresses(t).count == records / 100;
                   },
                   [&](AddressTable &t) {
                       const BulkResult r = DeleteWhereTrue(t, QStringLiteral("Invalid"));
                       return r.ok() && r.count == records / 100;
                   },
                   "BEGIN; DELETE FROM address WHERE ID IN (SELECT vt_rid FROM address_flags WHERE Invalid = 1); "
                   "DELETE FROM address_flags WHERE Invalid = 1; COMMIT;");
    ok = ok && run("duplicates_mail_find", [&](AddressTable &t) {
             const DuplicateGroups g = FindDuplicates(t, FindMailField(&t));
             return g.ok() && g.values() == records / 20;
         });
    // The peer keeps the first record of each address as the program does in
    // the order of the IDs, and compares the addresses with the program's
    // folding collation (the column's own).
    ok = ok && compare(
                   "duplicates_mail_delete", "peer_duplicates_delete_s", "duplicates_delete_ratio_to_peer",
                   [](AddressTable &) { return true; },
                   [&](AddressTable &t) {
                       const DuplicateGroups g = FindDuplicates(t, FindMailField(&t));
                       return g.ok() && g.values() > 0 &&
                              DeleteDuplicates(t, g, KeepRecord::Oldest).count == records / 20;
                   },
                   "BEGIN; CREATE TEMP TABLE doomed AS SELECT ID FROM address WHERE Mail IS NOT NULL AND ID NOT IN "
                   "(SELECT min(ID) FROM address WHERE Mail IS NOT NULL GROUP BY Mail); "
                   "DELETE FROM address WHERE ID IN doomed; DELETE FROM address_flags WHERE vt_rid IN doomed; COMMIT;");
    std::printf("file_size: %.1f MiB\n", double(QFile(path).size()) / (1024.0 * 1024.0));
    if (!qEnvironmentVariableIsEmpty("VANTREL_BENCH_KEEP"))
        QFile::copy(path, qEnvironmentVariable("VANTREL_BENCH_KEEP"));
    return ok ? 0 : 1;
}
