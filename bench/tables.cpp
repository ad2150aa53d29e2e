// Speed of the table engine on 1,000,000 records (base fields and ten user
// columns): each figure is timed on its own, on a freshly opened table.
// Prints "name: value unit" lines, the peak memory last.
#include "addressmodel.h"
#include "addresstable.h"
#include "definitionfiles.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace vt;

namespace {

constexpr int kScreenRows = 40;

// A database as the program creates one: the shipped template's header and
// eight fixed fields, then ten user columns.
QStringList definitionLines()
{
    QStringList pro = ReadLines(QStringLiteral(VANTREL_RESOURCES_DIR "/Data/database.pro")).mid(0, 9);
    for (int k = 1; k <= 10; ++k)
        pro.append(UserColumnDefinitionLine(k, QStringLiteral("Spalte %1").arg(k)));
    return pro;
}

QString randomWord(QRandomGenerator &rng, int length)
{
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyzäöüABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QString s;
    for (int i = 0; i < length; ++i)
        s += letters.at(int(rng.bounded(quint32(letters.size()))));
    return s;
}

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

double peakMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Reads every cell of the first screen through the grid's model.
void firstScreen(AddressModel &model)
{
    const int rows = std::min(kScreenRows, model.rowCount());
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            model.data(model.index(r, c));
}

bool fail(const QString &what)
{
    std::fprintf(stderr, "bench_tables: %s\n", qPrintable(what));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Bench.DB"));
    const QStringList pro = definitionLines();
    if (pro.size() != 19)
        return fail(QStringLiteral("the template database.pro was not found")), 1;
    const TableDefinition def = TableDefinitionFromLines(pro);
    QString error;
    if (!AddressTable::create(path, def.fields, def.indexes, &error))
        return fail(error), 1;

    {
        AddressTable t;
        if (!t.open(path))
            return fail(t.lastError()), 1;
        QRandomGenerator rng(4711);
        bool ok = true;
        double commit = 0;
        const double fill = seconds([&] {
            TableAppender a(t);
            for (qint64 i = 0; i < records && ok; ++i) {
                a.setValue(1, rng.bounded(3) == 0);
                a.setValue(2, false);
                a.setText(4, QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97));
                a.setText(5, rng.bounded(2) ? QStringLiteral("Herr") : QStringLiteral("Frau"));
                a.setText(7, randomWord(rng, 8));
                for (int k = 0; k < 10; ++k)
                    a.setText(8 + k, randomWord(rng, 6 + k % 4));
                ok = a.append();
            }
            // The commit builds the ordinary indexes that the append left out.
            commit = seconds([&] { ok = ok && a.commit(); });
        });
        if (!ok)
            return fail(t.lastError()), 1;
        print("fill", fill, "s");
        print("fill_commit", commit, "s");
    }

    auto run = [&](const char *name, const std::function<bool(AddressTable &, AddressModel &)> &prepare,
                   const std::function<bool(AddressTable &, AddressModel &)> &work) {
        AddressTable t;
        AddressModel model(&t);
        bool ok = true;
        if (prepare && !(t.open(path) && prepare(t, model)))
            ok = false;
        const double s = ok ? seconds([&] { ok = work(t, model); }) : 0;
        if (!ok)
            return fail(QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
        print(name, s, "s");
        return true;
    };
    auto opened = [](AddressTable &, AddressModel &) { return true; };

    bool ok = run("open_first_screen", nullptr, [&](AddressTable &t, AddressModel &m) {
        if (!t.open(path))
            return false;
        firstScreen(m);
        return m.rowCount() == records;
    });
    ok = ok && run("count_selected", opened, [](AddressTable &t, AddressModel &) {
             return t.setFilterText(QStringLiteral("Selected='True'")) && t.setFiltered(true) && t.recordCount() > 0;
         });
    ok = ok && run("sort_by_user_column_first_screen", opened, [](AddressTable &t, AddressModel &m) {
             if (!t.setIndexName(QStringLiteral("Spalte1")))
                 return false;
             firstScreen(m);
             return true;
         });
    ok = ok && run("last_record", opened, [&](AddressTable &t, AddressModel &) {
             t.last();
             for (int f = 0; f < t.fieldCount(); ++f)
                 t.text(f);
             return t.row() == records - 1;
         });
    ok = ok && run("mark_all", opened, [&](AddressTable &t, AddressModel &) {
             return t.updateWhere({}, {{QStringLiteral("Selected"), true}}) == records;
         });
    ok = ok && run("unmark_all", opened, [&](AddressTable &t, AddressModel &) {
             return t.updateWhere({}, {{QStringLiteral("Selected"), false}}) == records;
         });
    ok = ok && run("locate_by_id", opened, [&](AddressTable &t, AddressModel &) {
             const qint64 id = records / 2 + 17;
             if (!t.gotoId(id))
                 return false;
             for (int f = 0; f < t.fieldCount(); ++f)
                 t.text(f);
             return t.currentId() == id;
         });
    // A send run writes each recipient's record by its ID and commits at once.
    ok = ok && run("update_1000_records_by_id", opened, [&](AddressTable &t, AddressModel &) {
             for (qint64 id = 1; id <= 1000; ++id)
                 if (!t.updateFields(id * (records / 1000), {{QStringLiteral("Selected"), false},
                                                             {QStringLiteral("Invalid"), false},
                                                             {QStringLiteral("LetztesMail"), QDate(2024, 1, 2)}}))
                     return false;
             return true;
         });
    std::printf("file_size: %.1f MiB\n", double(QFile(path).size()) / (1024.0 * 1024.0));
    std::printf("peak_memory: %.1f MiB\n", peakMiB());
    return ok ? 0 : 1;
}
