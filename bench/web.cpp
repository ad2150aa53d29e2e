// Fetching, comparing and applying 10,000 entries of the web server's lists
// (9,000 new subscriptions, 1,000 unsubscriptions of addresses the table holds)
// against a table of 1,000,000 records, through the shipped scripts under PHP's
// built-in server, and emptying the lists afterwards: what the subscription
// dialog does between "Bestellungen abholen" and the closing of the dialog.
// Prints "name: value unit" lines.
#include "addresstable.h"
#include "benchfigures.h"
#include "definitionfiles.h"
#include "phpserver.h"
#include "procmemory.h"
#include "subscriptions.h"
#include "textfile.h"
#include "webpages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace vt;

namespace {

bool writeList(const QString &path, const QStringList &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("<?php exit; ?>0123456789abcdef\n");
    for (const QString &line : lines)
        f.write(line.toUtf8() + '\n');
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    constexpr int kUnsubscriptions = 1000, kSubscriptions = 9000;
    QTemporaryDir dir;

    // The table: the shipped template's fields and ten user columns.
    QStringList pro = ReadLines(QStringLiteral(VANTREL_RESOURCES_DIR "/Data/database.pro")).mid(0, 9);
    for (int k = 1; k <= 10; ++k)
        pro.append(UserColumnDefinitionLine(k, QStringLiteral("Spalte %1").arg(k)));
    const TableDefinition def = TableDefinitionFromLines(pro);
    const QString path = dir.filePath(QStringLiteral("Bench.DB"));
    QString error;
    if (!def.ok() || !AddressTable::create(path, def.fields, def.indexes, &error))
        return Fail("bench_web", def.error + error);
    AddressTable table;
    if (!table.open(path))
        return Fail("bench_web", table.lastError());
    {
        TableAppender a(table);
        for (qint64 i = 0; i < records; ++i) {
            a.setText(4, QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97));
            a.setText(7, QStringLiteral("Name %1").arg(i));
            if (!a.append())
                return Fail("bench_web", a.lastError());
        }
        if (!a.commit())
            return Fail("bench_web", a.lastError());
    }

    // The server folder with its lists filled.
    const QString root = dir.filePath(QStringLiteral("www"));
    PhpServer server(root);
    QDir().mkpath(root);
    const QString why = server.start();
    if (!why.isEmpty())
        return Fail("bench_web", why);
    WebFilesInput in;
    in.serverPath = server.url() + QStringLiteral("news/");
    in.folderName = QStringLiteral("news");
    in.fontFamily = WebFontFamilies().first();
    in.offeredFields = {{5, QStringLiteral("Mail"), QStringLiteral("Mail")}};
    in.password = QStringLiteral("Bench1");
    in.pairs = PoweredByPairs();
    // A program folder of its own with the shipped scripts: the installation pages are written there.
    const QString appFolder = dir.filePath(QStringLiteral("app/"));
    QDir().mkpath(appFolder);
    for (const char *name : {"mailin.php", "wipe_files.php", "submit-seite.php"})
        QFile::copy(QStringLiteral(VANTREL_RESOURCES_DIR "/") + QLatin1String(name), appFolder + QLatin1String(name));
    if (!WriteWebFiles(in, root + QStringLiteral("/news"), appFolder).ok)
        return Fail("bench_web", QStringLiteral("the server folder cannot be written"));
    QStringList subscriptions, unsubscriptions;
    for (int i = 0; i < kSubscriptions; ++i)
        subscriptions.append(
            QStringLiteral("neu%1@verein.de|20240101000000000000|Frau|_|Neue_Nummer_%1|Spalte1=Wert_%1|"
                           "20240101000000000000")
                .arg(i));
    for (int i = 0; i < kUnsubscriptions; ++i)
        unsubscriptions.append(QStringLiteral("user%1@example%2.de|20240101000000000000")
                                   .arg(i * (records / kUnsubscriptions))
                                   .arg(i * (records / kUnsubscriptions) % 97));
    if (!writeList(root + QStringLiteral("/news/email_list_in.dat.php"), subscriptions) ||
        !writeList(root + QStringLiteral("/news/email_list_out.dat.php"), unsubscriptions))
        return Fail("bench_web", QStringLiteral("the lists cannot be written"));

    const long rssBefore = ProcessMemoryKb();
    HttpClient http;
    SubscriptionServer scripts(http, in.serverPath, in.password);
    QElapsedTimer timer;
    timer.start();
    scripts.ping();
    const ListAnswer inList = scripts.fetchList(true);
    const ListAnswer outList = scripts.fetchList(false);
    if (inList.status != ListAnswer::Status::Ok || outList.status != ListAnswer::Status::Ok)
        return Fail("bench_web", QStringLiteral("fetch failed: ") + inList.error + outList.error);
    const double fetched = double(timer.nsecsElapsed()) / 1e9;
    const CompareResult found = CompareOrders(inList.lines, outList.lines, table);
    const double compared = double(timer.nsecsElapsed()) / 1e9;
    if (!found.error.isEmpty() || found.subscriptions != kSubscriptions || found.unsubscriptions != kUnsubscriptions)
        return Fail("bench_web", QStringLiteral("compare found %1 + %2: %3")
                                     .arg(found.subscriptions)
                                     .arg(found.unsubscriptions)
                                     .arg(found.error));
    const ApplyResult applied = ApplyOrders(table, found.entries, false);
    const double appliedAt = double(timer.nsecsElapsed()) / 1e9;
    if (!applied.ok || applied.appended != kSubscriptions || applied.deleted != kUnsubscriptions)
        return Fail("bench_web", QStringLiteral("apply: ") + applied.error);
    const WipeResult wiped = scripts.wipe(inList.mark, outList.mark);
    const double total = double(timer.nsecsElapsed()) / 1e9;
    if (wiped.emptied != WipeResult::Emptied::Both)
        return Fail("bench_web", QStringLiteral("wipe: ") + wiped.reason);

    PrintFigure("records", double(table.count(Filter())), "");
    PrintFigure("fetch_s", fetched, "s");
    PrintFigure("compare_s", compared - fetched, "s");
    PrintFigure("apply_s", appliedAt - compared, "s");
    PrintFigure("wipe_s", total - appliedAt, "s");
    PrintFigure("fetch_apply_10k_s", total, "s");
    PrintFigure("rss_before_fetch", double(rssBefore) / 1024.0, "MB");
    PrintFigure("peak_rss", double(ProcessMemoryKb("VmHWM:")) / 1024.0, "MB");
    return 0;
}
