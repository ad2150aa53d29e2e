// Start-up: the windows in their order, the product information before the
// main window, the host window ending the run.
#include "crashdialogrecorder.h"
#include "crashreport.h"
#include "forms.h"
#include "hostform.h"
#include "mainform.h"
#include "mainformfixture.h"
#include "modal.h"
#include "productinfo.h"
#include "startup.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace vt;

namespace {

class FailingForm : public QWidget
{
public:
    bool reached = false;
    void FormCreate()
    {
        reached = true;
        throw std::runtime_error("set-up failed half-way");
    }
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;
    TestFolder m_programFolder{true};

private slots:
    void initTestCase()
    {
        // Keeps the branding folder, the documents and the registry store away
        // from the user's own, and the main window on a copy of the shipped files.
        UsePrivateHome(m_home);
        SetProgramFolderOverride(m_programFolder.path());
    }

    // Window captions stay as the program sets them: no display name (which the
    // window manager would show after each caption); Qt's own buttons in German.
    void applicationSetUp()
    {
        const QString before = QCoreApplication::applicationName();
        QApplication::setQuitOnLastWindowClosed(true);
        SetUpApplication();
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Vantrel"));
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Halvicor"));
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        // A display name that was never set follows the application's name.
        QCoreApplication::setApplicationName(QStringLiteral("anders"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("anders"));
        QCoreApplication::setApplicationName(before);
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
    }

    void windowsAreMadeInOrderAndKept()
    {
        CreateWindowsInOrder();
        THostForm *host = HostForm();
        TMainForm *main = MainForm();
        QVERIFY(host && main);
        // One instance each, reached through its accessor.
        CreateWindowsInOrder();
        QCOMPARE(HostForm(), host);
        QCOMPARE(MainForm(), main);
        QVERIFY(!host->isVisible());
        // The host filled the product information before the main window's set-up read it.
        QCOMPARE(ProductInfo().DisplayName, QStringLiteral("Vantrel Professional"));
        QCOMPARE(main->windowTitle(), ProductInfo().DisplayName);
        QCOMPARE(main->objectName(), QStringLiteral("MainForm"));
        QCOMPARE(ProductInfo().ProgramDir, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        QVERIFY(QDir(BrandingFolder()).exists());
    }

    void failingSetUpIsReportedAndTheWindowStays()
    {
        CrashDialogRecorder dialogs;
        QPointer<FailingForm> slot;
        FailingForm *made = FormInstance(slot, "FailingForm.FormCreate");
        QVERIFY(made && slot == made && made->reached);
        QCOMPARE(FormInstance(slot, "FailingForm.FormCreate"), made); // not made again
        const auto shown = dialogs.takeAll();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().report.field("location"), QStringLiteral("FailingForm.FormCreate"));
        delete made;
    }

    void activationShowsTheMainWindowAndSetsUpTheReporter()
    {
        HostForm()->FormActivate();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm()));
        // The main window's activation makes the error reports German and versioned.
        QTRY_COMPARE(ReportLanguage(), 1);
        QCOMPARE(CrashSettings().texts.TitleBar, QStringLiteral("%appname% - Ein Fehler ist aufgetreten"));
    }

    // Last: it ends the event loop.
    void closingTheMainWindowEndsTheRun()
    {
        // The tips window comes on the way out.
        QStringList shown;
        Modal::setHandler([&](QDialog *d) {
            shown << d->metaObject()->className();
            return int(QDialog::Accepted);
        });
        QTimer::singleShot(0, MainForm(), [] { MainForm()->close(); });
        // Should the chain break, the run is ended with another code instead of hanging.
        QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        Modal::setHandler({});
        QCOMPARE(shown, QStringList{"vt::TWerbungForm"});
        QVERIFY(!MainForm()->isVisible());
        DestroyWindows();
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
