#pragma once
// The windows of the error reporter: the error dialog, the send assistant, and the
// program's application class, which delivers every event inside the guard.
#include "crashreport.h"

#include <QApplication>

namespace vt {

// The error dialog (continue, restart, close; send, save, details).
CrashDialogs *WidgetCrashDialogs();

// Runs the send assistant (through Modal, so tests answer it), saves the
// screenshot when asked for, and opens the user's mail program with the report.
bool RunSendAssistant(CrashReportSession &session);

// The program's application object: every event is delivered inside the guard.
// It installs the widget implementations of the platform services.
class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace vt
