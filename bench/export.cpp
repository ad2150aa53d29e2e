// Speed and memory of the two exports on 1,000,000 records of the shipped base
// database with ten user columns: the workbook of every column and the padded
// text file of every field with its title line, each read through the table's
// forward-only pass and streamed to its file.
// Prints "name: value unit" lines; peak_rss is the peak of the exports alone
// (the peak is reset after the table has been filled). Then the peer of the
// text export (see peerCsvExport) on a copy of the same table.
//
// bench_export [records] [table]: a table filled by an earlier run (its records
// as given; VANTREL_BENCH_KEEP=file keeps one) is copied instead of filled anew.
#include "addresstable.h"
#include "asciiexport.h"
#include "benchfigures.h"
#include "definitionfiles.h"
#include "procmemory.h"
#include "sqlitepeer.h"
#include "textfile.h"
#include "workbookexport.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

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

// The peer of the text export: what `sqlite3 -csv` writes for the table, byte
// for byte, in this process. Every field of every record in the order of the
// keys, each cell as SQLite's text (column_text); a cell in quotes (a quote in it
// doubled) when it holds a comma or a byte the shell quotes for (a control
// character, blank, quote, apostrophe, DEL or any byte beyond ASCII); commas
// between the cells, LF after each record, written through a buffer of 1 MiB.
// The rows written go to rows; false on a failure.
bool peerCsvExport(PeerConnection &peer, const AddressTable &t, const QString &path, qint64 *rows, QString *error)
{
    QStringList columns;
    for (const FieldDef &f : t.fields())
        columns.append(QStringLiteral("%1.\"%2\"").arg(f.type == FieldType::Boolean ? "f" : "a", f.name));
    const QString sql = QStringLiteral("SELECT %1 FROM address a JOIN address_flags f ON f.vt_rid = a.ID ORDER BY a.ID")
                            .arg(columns.join(QStringLiteral(", ")));
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(peer.handle(), sql.toUtf8().constData(), -1, &s, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(peer.handle()));
        return false;
    }
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        sqlite3_finalize(s);
        *error = out.errorString();
        return false;
    }
    bool quoted[256] = {};
    for (int c = 0; c < 256; ++c)
        quoted[c] = c <= ' ' || c == '"' || c == '\'' || c == ',' || c >= 0x7F;
    std::string buffer;
    buffer.reserve((1 << 20) + (1 << 16));
    const int n = sqlite3_column_count(s);
    bool ok = true;
    *rows = 0;
    int rc;
    while (ok && (rc = sqlite3_step(s)) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            if (c > 0)
                buffer += ',';
            const char *v = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
            if (!v)
                continue;
            const size_t len = size_t(sqlite3_column_bytes(s, c));
            size_t plain = 0;
            while (plain < len && !quoted[static_cast<unsigned char>(v[plain])])
                ++plain;
            if (plain == len) {
                buffer.append(v, len);
                continue;
            }
            buffer += '"';
            for (size_t i = 0; i < len; ++i) {
                if (v[i] == '"')
                    buffer += '"';
                buffer += v[i];
            }
            buffer += '"';
        }
        buffer += '\n';
        ++*rows;
        if (buffer.size() >= (1u << 20)) {
            ok = out.write(buffer.data(), qint64(buffer.size())) == qint64(buffer.size());
            buffer.clear();
        }
    }
    ok = ok && rc == SQLITE_DONE && out.write(buffer.data(), qint64(buffer.size())) == qint64(buffer.size());
    if (!ok)
        *error = rc == SQLITE_DONE ? out.errorString() : QString::fromUtf8(sqlite3_errmsg(peer.handle()));
    sqlite3_finalize(s);
    out.close();
    return ok;
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
    const QString filled = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (!filled.isEmpty()) {
        if (!QFile::copy(filled, path))
            return Fail("bench_export", QStringLiteral("cannot copy ") + filled);
    } else if (!def.ok() || !AddressTable::create(path, def.fields, def.indexes, &error)) {
        return Fail("bench_export", def.error + error);
    }

    AddressTable t;
    if (!t.open(path))
        return Fail("bench_export", t.lastError());
    if (filled.isEmpty()) {
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
    if (!qEnvironmentVariableIsEmpty("VANTREL_BENCH_KEEP"))
        QFile::copy(path, qEnvironmentVariable("VANTREL_BENCH_KEEP"));
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
            t, ShownRecords(t), every, [&](TextRows &texts) { return read += texts.rows(), true; }, {}, records,
            &error))
        return Fail("bench_export", error);
    PrintFigure("read_texts_s", double(clock.nsecsElapsed()) / 1e9, "s", 3);

    QList<ExportColumn> columns;
    for (int f = 0; f < t.fieldCount(); ++f)
        columns.append({f, ParseFieldDefinitionLine(pro.at(f + 1)).displayName});
    // VANTREL_BENCH_STEPS=csv (or xlsx) runs only that export.
    const QString steps = qEnvironmentVariable("VANTREL_BENCH_STEPS");
    if (steps.isEmpty() || steps.contains(QLatin1String("xlsx"))) {
        const QString workbook = dir.filePath(QStringLiteral("export.xlsx"));
        clock.restart();
        const ExportResult r =
            WriteGridToWorkbook(t, columns, workbook, QStringLiteral("Vantrel_Export"), ShownRecords(t));
        if (!r.ok || r.rows != records)
            return Fail("bench_export", QStringLiteral("workbook: ") + r.error);
        PrintFigure("xlsx_1m_s", double(clock.nsecsElapsed()) / 1e9, "s", 3);
        std::printf("xlsx_size: %.1f MiB\n", double(QFile(workbook).size()) / (1024.0 * 1024.0));
        std::printf("peak_rss_after_xlsx: %.1f MiB\n", ProcessMemoryKb("VmHWM:") / 1024.0);
        QFile::remove(workbook);
    }

    TextExportOptions options;
    options.widths = TextExportWidths(pro, t.fieldCount());
    options.fields = every;
    const QString text = dir.filePath(QStringLiteral("export.csv"));
    clock.restart();
    const ExportResult r = WriteTextExport(t, options, ShownRecords(t), text);
    if (!r.ok || r.rows != records)
        return Fail("bench_export", QStringLiteral("text: ") + r.error);
    const double csvSeconds = double(clock.nsecsElapsed()) / 1e9;
    PrintFigure("csv_1m_s", csvSeconds, "s", 3);
    std::printf("csv_size: %.1f MiB\n", double(QFile(text).size()) / (1024.0 * 1024.0));
    QFile::remove(text);
    const double peakAfterExports = ProcessMemoryKb("VmHWM:") / 1024.0;

    // The same records through plain SQLite, right after, on a copy of the table.
    const QString peerPath = dir.filePath(QStringLiteral("Peer.DB"));
    if (!QFile::copy(path, peerPath))
        return Fail("bench_export", QStringLiteral("cannot copy the table for the peer"));
    PeerConnection peer(peerPath);
    if (!peer.ok())
        return Fail("bench_export", peer.error());
    qint64 peerRows = 0;
    clock.restart();
    if (!peerCsvExport(peer, t, text, &peerRows, &error) || peerRows != records)
        return Fail("bench_export", QStringLiteral("peer: ") + error);
    const double peerSeconds = double(clock.nsecsElapsed()) / 1e9;
    PrintFigure("peer_csv_export_1m_s", peerSeconds, "s", 3);
    PrintRatio("csv_export_ratio_to_peer", csvSeconds, peerSeconds);
    std::printf("peer_csv_size: %.1f MiB\n", double(QFile(text).size()) / (1024.0 * 1024.0));
    QFile::remove(text);
    std::printf("peak_rss: %.1f MiB\n", peakAfterExports);
    return 0;
}
