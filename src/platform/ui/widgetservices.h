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
// the current message owner, the modal dialog on top, the active window; but
// while a window of the program stays on top and that one is not it (nor one
// of its own), the window on top.
QWidget *DialogParent(QWidget *owner = nullptr);
// While a window of the program stays on top (the serial e-mail window, its
// preview), a box or dialog stays on top as well, so that no window of the
// program can hide it; otherwise it does not. A dialog that stays on top by its
// own design keeps that.
void KeepOnTopOfTheProgram(QWidget *dialog);
// Readies a dialog (a window of its own, not yet shown) to come up: a child
// window of DialogParent(owner), where a parent window of its own that is on
// screen counts as its owner when none is given; then on top as above. Every
// box, file dialog and modal dialog of the program goes through here.
void PrepareOverTheProgram(QWidget *dialog, QWidget *owner = nullptr);

// Makes them the defaults (tests that put a recorder in front keep it). The
// program's application class calls it; a test with real windows may too.
void InstallWidgetServices();

} // namespace vt
