#pragma once
// The widget implementations of the platform services: message boxes, file
// dialogs, the desktop's opener, the error dialog and the window of a wait.
#include <QPointer>
#include <QWidget>

namespace vt {

// While one lives, message boxes come up over its window: for a window that asks
// from a signal (a send run's server trouble), when another window may be the
// active one.
class MessageOwner
{
public:
    explicit MessageOwner(QWidget *window);
    ~MessageOwner();
    MessageOwner(const MessageOwner &) = delete;
    MessageOwner &operator=(const MessageOwner &) = delete;

    // The window of the innermost owner still alive, or none.
    static QWidget *current();

private:
    QPointer<QWidget> m_window;
    MessageOwner *m_outer = nullptr;
};

// The window a box or dialog of the program comes up over: the given owner, else
// the current message owner, the modal dialog on top, the active window. The
// dialog stays on top of the others when a window of the program does, so no
// window of the program can hide it.
QWidget *DialogParent(QWidget *owner = nullptr);
void KeepOnTopOfTheProgram(QWidget *dialog);

// Makes them the defaults (tests that put a recorder in front keep it). The
// program's application class calls it; a test with real windows may too.
void InstallWidgetServices();

} // namespace vt
