#include "startup.h"
#include "crashdialogs.h"
#include "forms.h"
#include "hostform.h"
#include "mainform.h"
#include "qttranslations.h"
#include "singleinstance.h"
#include "windowsinfo.h"

#include <QProcess>
#include <QTimer>

namespace vt {

void SetUpApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Halvicor"));
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    // The host window's closing ends the program, not the last window's: the
    // main window may close while a modeless window of the program is open.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallQtTranslations();
}

int RunApplication(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    SetUpApplication();
    // Before any window: the error reporter, then the system information.
    CrashReportStartup();
    (void)WindowsInfo();

    SingleInstance instance;
    if (!instance.acquireOrTell())
        return 0;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    CreateWindowsInOrder();
    QApplication::restoreOverrideCursor();

    int rc = 0;
    // When another workstation holds the data the start ends here, before the
    // main window is ever shown.
    if (RequestedExit() == CrashExit::None && !MainForm()->startEnded()) {
        QTimer::singleShot(0, HostForm(), [] { Guard("THostForm.FormActivate", [] { HostForm()->FormActivate(); }); });
        rc = app.exec();
    }
    const bool restart = RequestedExit() == CrashExit::Restart;
    DestroyWindows();
    CrashReportShutdown();
    if (restart) {
        // The new copy must find the start free.
        instance.release();
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    }
    return rc;
}

} // namespace vt
