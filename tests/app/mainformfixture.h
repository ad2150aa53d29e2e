#pragma once
// A main window started over a private program folder (a copy of the shipped
// files), with the user's home, documents and registry store in a temporary
// folder, and every message box recorded.
#include "addressmodel.h"
#include "addresstable.h"
#include "dbgrid.h"
#include "mainform.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "productinfo.h"
#include "programfolder.h"
#include "registry.h"
#include "testfolder.h"
#include "werbungform.h"
#include "windowsinfo.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// Once per test program, before anything asks for a special folder. Closing
// the last window must not end the test.
inline void UsePrivateHome(const QTemporaryDir &home)
{
    QApplication::setQuitOnLastWindowClosed(false);
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("VANTREL_APP_FOLDER");
    QStandardPaths::setTestModeEnabled(true);
    vt::Registry::setFileName(home.path() + QStringLiteral("/registry.ini"));
}

// A lock file as a run of the program on this computer leaves it when it ends
// without releasing it: it names a process that has ended.
inline void WriteLockOfEndedRun(const QString &path)
{
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    const QString probePath = path + QStringLiteral(".probe");
    QByteArray content;
    {
        QLockFile probe(probePath);
        QVERIFY(probe.tryLock(0));
        QFile f(probePath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        content = f.readAll();
    }
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QByteArray::number(pid) + content.mid(content.indexOf('\n')));
}

class StartedMain
{
public:
    // prepare runs on the program folder before the window is made.
    explicit StartedMain(const std::function<void(TestFolder &)> &prepare = {})
    {
        if (prepare)
            prepare(dir);
        vt::SetProgramFolderOverride(dir.path());
        vt::SetProductInfo(vt::MakeProductInfo(dir.file(QStringLiteral("vantrel")), vt::BrandingFolder()));
        form = std::make_unique<vt::TMainForm>();
        form->FormCreate();
        // Closing shows no tips window unless a test takes the marker away.
        QFile marker(vt::NoTipsFile());
        QVERIFY(marker.open(QIODevice::WriteOnly));
    }
    ~StartedMain()
    {
        form.reset();
        vt::SetProgramFolderOverride(QString());
    }

    vt::TMainState &state() const { return vt::MainState(); }
    vt::AddressTable *table() const { return vt::MainState().CurrentTable; }
    template <class T> T *child(const char *name) const { return form->findChild<T *>(QLatin1String(name)); }

    // Appends records (field name -> value) to the open table.
    void add(const QList<vt::FieldValues> &records) const
    {
        vt::TableAppender a(*table());
        for (const vt::FieldValues &r : records) {
            for (const auto &[name, value] : r)
                QVERIFY(a.setValue(table()->fieldIndex(name), value));
            QVERIFY(a.append());
        }
        QVERIFY(a.commit());
    }

    MessageRecorder boxes; // made first, gone last
    TestFolder dir{true};
    std::unique_ptr<vt::TMainForm> form;
};

// A started window with the given records, shown and active, the grid focused;
// with the grid's cells and titles found by field name.
struct MainOnScreen : StartedMain
{
    explicit MainOnScreen(const QList<vt::FieldValues> &records, const std::function<void(TestFolder &)> &prepare = {})
        : StartedMain(prepare)
    {
        add(records);
        form->show();
        form->activateWindow(); // a display without a window manager activates nothing by itself
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->DBGrid1->setFocus();
    }
    vt::TDBGrid *grid() const { return form->DBGrid1; }
    int column(const char *field) const { return state().CurrentDataSource->columnOfField(field); }
    QPoint cell(int row, const char *field) const
    {
        return grid()->visualRect(grid()->model()->index(row, column(field))).center();
    }
    void goTo(int row, const char *field) const { grid()->setCurrentIndex(grid()->model()->index(row, column(field))); }
    QPoint title(const char *field) const
    {
        QHeaderView *h = grid()->horizontalHeader();
        const int l = column(field);
        return QPoint(h->sectionViewportPosition(l) + h->sectionSize(l) / 2, h->height() / 2);
    }
    void clickTitle(const char *field) const
    {
        QTest::mouseClick(grid()->horizontalHeader()->viewport(), Qt::LeftButton, {}, title(field));
    }
    QString statusPanel() const { return child<QLabel>("StatusPanel")->text(); }
};
