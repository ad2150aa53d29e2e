#pragma once
// A main window started over a private program folder (a copy of the shipped
// files), with the user's home, documents and registry store in a temporary
// folder, and every message box recorded.
#include "addresstable.h"
#include "mainform.h"
#include "mainstate.h"
#include "messagerecorder.h"
#include "productinfo.h"
#include "programfolder.h"
#include "registry.h"
#include "testfolder.h"
#include "windowsinfo.h"

#include <QApplication>
#include <QFile>
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
