// Speed of the table engine on 1,000,000 records (base fields and ten user
// columns): each figure is timed on its own, on a freshly opened table. Then
// the main window's own paths on the same table, offscreen: the start to the
// first painted grid, a click on a column title until the sorted grid is
// painted, and the filter preset of the marked records until the count label
// shows and the grid is painted.
// Prints "name: value unit" lines, the peak memory last.
#include "addressmodel.h"
#include "addresstable.h"
#include "benchfigures.h"
#include "dbgrid.h"
#include "definitionfiles.h"
#include "mainform.h"
#include "modal.h"
#include "paths.h"
#include "procmemory.h"
#include "productinfo.h"
#include "programfolder.h"
#include "registry.h"
#include "textfile.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
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

// Reads every cell of the first screen through the grid's model.
void firstScreen(AddressModel &model)
{
    const int rows = std::min(kScreenRows, model.rowCount());
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            model.data(model.index(r, c));
}

// Lets the event loop run until the widget has painted again.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *w) { w->installEventFilter(this); }
    int paints = 0;
    bool waitForPaint(int before)
    {
        QElapsedTimer t;
        t.start();
        while (paints <= before && t.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return paints > before;
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The shipped files, and the benchmark's table as the database used last.
void makeProgramFolder(const QString &folder, const QStringList &pro)
{
    SeedProgramFolder(QStringLiteral(VANTREL_RESOURCES_DIR), folder);
    const QString data = PathJoin(folder, QStringLiteral("Data/"));
    WriteLines(data + QStringLiteral("Bench.pro"), pro);
    QFile::copy(data + QStringLiteral("database.fil"), data + QStringLiteral("Bench.fil"));
    QFile::copy(data + QStringLiteral("database.cb"), data + QStringLiteral("Bench.cb"));
    WriteLines(data + QStringLiteral("Bench.ini"), NewDatabaseDefinition(QStringLiteral("Bench")));
    AppendLines(PathJoin(folder, QStringLiteral("Buttons.ini")), {CatalogLine(QStringLiteral("Bench"), "Bench.ini")});
    WriteLines(PathJoin(folder, QStringLiteral("LastopenDB.inc")), {QStringLiteral("Bench.ini")});
}

void click(QWidget *w, const QPoint &at)
{
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    // The window runs offscreen, with its documents and settings in the temporary folder.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QApplication app(argc, argv);
    Registry::setFileName(dir.filePath(QStringLiteral("home/registry.ini")));
    const qint64 records = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const QString programFolder = dir.filePath(QStringLiteral("Vantrel/"));
    const QStringList pro = definitionLines();
    makeProgramFolder(programFolder, pro);
    const QString path = programFolder + QStringLiteral("Data/Bench.DB");
    if (pro.size() != 19)
        return Fail("bench_tables", QStringLiteral("the template database.pro was not found"));
    const TableDefinition def = TableDefinitionFromLines(pro);
    QString error;
    if (!AddressTable::create(path, def.fields, def.indexes, &error))
        return Fail("bench_tables", error);

    {
        AddressTable t;
        if (!t.open(path))
            return Fail("bench_tables", t.lastError());
        QRandomGenerator rng(4711);
        bool ok = true;
        double commit = 0;
        const double fill = Seconds([&] {
            TableAppender a(t);
            for (qint64 i = 0; i < records && ok; ++i) {
                a.setValue(1, rng.bounded(3) == 0);
                a.setValue(2, false);
                a.setText(4, QStringLiteral("user%1@example%2.de").arg(i).arg(i % 97));
                a.setText(5, rng.bounded(2) ? QStringLiteral("Herr") : QStringLiteral("Frau"));
                a.setText(7, RandomWord(rng, 8));
                for (int k = 0; k < 10; ++k)
                    a.setText(8 + k, RandomWord(rng, 6 + k % 4));
                ok = a.append();
            }
            // The commit builds the ordinary indexes that the append left out.
            commit = Seconds([&] { ok = ok && a.commit(); });
        });
        if (!ok)
            return Fail("bench_tables", t.lastError());
        PrintFigure("fill", fill, "s");
        PrintFigure("fill_commit", commit, "s");
    }

    auto run = [&](const char *name, const std::function<bool(AddressTable &, AddressModel &)> &prepare,
                   const std::function<bool(AddressTable &, AddressModel &)> &work) {
        AddressTable t;
        AddressModel model(&t);
        bool ok = true;
        if (prepare && !(t.open(path) && prepare(t, model)))
            ok = false;
        const double s = ok ? Seconds([&] { ok = work(t, model); }) : 0;
        if (!ok) {
            Fail("bench_tables", QStringLiteral("%1: %2").arg(QLatin1String(name), t.lastError()));
            return false;
        }
        PrintFigure(name, s, "s");
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

    // The main window over the same table, with about half the records marked
    // (the figures above ended with none).
    {
        AddressTable t;
        ok = ok && t.open(path) &&
             t.updateWhere(Filter::parse(QStringLiteral("Anrede='Herr'")), {{QStringLiteral("Selected"), true}}) > 0;
    }
    // Nobody is there to answer a dialog: one that the window opens modally (the
    // tips window at its close) is closed at once, as by its close box.
    int dialogs = 0;
    Modal::setHandler([&dialogs](QDialog *) {
        ++dialogs;
        return int(QDialog::Rejected);
    });
    SetProgramFolderOverride(programFolder);
    SetProductInfo(MakeProductInfo(programFolder + QStringLiteral("vantrel"), BrandingFolder()));
    if (ok) {
        QElapsedTimer t;
        t.start();
        TMainForm form;
        PaintCounter painted(form.DBGrid1->viewport());
        form.FormCreate();
        form.show();
        ok = painted.waitForPaint(0) && form.DBGrid1->model() && form.DBGrid1->model()->rowCount() == records;
        PrintFigure("window_start_to_first_painted_grid", double(t.nsecsElapsed()) / 1e9, "s");

        AddressModel *model = form.DBGrid1->dataSource();
        QHeaderView *titles = form.DBGrid1->horizontalHeader();
        const int column = model->columnOfField(QStringLiteral("Name"));
        const QPoint at(titles->sectionViewportPosition(column) + titles->sectionSize(column) / 2,
                        titles->height() / 2);
        int before = painted.paints;
        t.restart();
        click(titles->viewport(), at);
        ok = ok && painted.waitForPaint(before) && model->sortMarker() == QStringLiteral("Name");
        PrintFigure("window_title_click_to_sorted_grid", double(t.nsecsElapsed()) / 1e9, "s");

        auto *box = form.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
        auto *label = form.findChild<QLabel *>(QStringLiteral("StatusPanel"));
        const int marked = box->findText(QStringLiteral("Markierte Datensätze"));
        const QString all = label->text();
        before = painted.paints;
        t.restart();
        box->setCurrentIndex(marked);
        emit box->activated(marked);
        ok = ok && label->text() != all && painted.waitForPaint(before);
        PrintFigure("window_filter_marked_to_count_label", double(t.nsecsElapsed()) / 1e9, "s");
        std::printf("window_marked_records: %s\n", qPrintable(label->text()));
        if (!ok)
            Fail("bench_tables", QStringLiteral("the main window's paths did not finish"));
        form.FormClose();
        std::printf("window_dialogs_closed_unanswered: %d\n", dialogs);
    }
    std::printf("file_size: %.1f MiB\n", double(QFile(path).size()) / (1024.0 * 1024.0));
    std::printf("peak_memory: %.1f MiB\n", ProcessMemoryKb("VmHWM:") / 1024.0);
    return ok ? 0 : 1;
}
