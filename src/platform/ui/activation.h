#pragma once
// When a window's activation handler runs: when the window is shown, and when
// the user comes back to it from another modeless window of the program; never
// when a message box or modal dialog over it closes (the handler may itself show
// a box, which would otherwise run it again and again), never when the user
// comes back from another application. Qt's raw WindowActivate does all of
// these, so every window with such a handler goes through this one tracker.
#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;
class QWindow;

namespace vt {

// Where an activation of a window came from.
enum class ActivationSource {
    Shown,            // the first activation after the window was shown
    ModelessWindow,   // focus came from another modeless window of the program
    ModalWindow,      // a message box, a modal dialog or any other window of ours closed or gave way
    OtherApplication, // the program had lost the focus to another application
    SameWindow,       // the window had the focus already
};

// The rule itself, free of any window system.
bool RunsActivationHandler(ActivationSource source);

// What the tracker knows about one registered window, and how it classifies an activation.
struct ActivationState
{
    bool showPending = false;
    bool absorbNext = false; // the show was counted before the window got the focus
    // The window was shown: its next activation (or the queued check after the show) runs the handler.
    void shown() { showPending = true; }
    // The window gained the focus. previousModeless: the window that had it last
    // is a modeless window of the program; focusLeftProgram: in between, no
    // window of the program had the focus (another application had it).
    ActivationSource activated(bool previousIsSelf, bool previousModeless, bool focusLeftProgram);
    // The queued check after a show: runs the handler when no activation came
    // first; the activation that belongs to this show is then not counted again.
    bool settleShow();
    // Another window got the focus.
    void focusMovedElsewhere() { absorbNext = false; }
};

class ActivationTracker : public QObject
{
public:
    static ActivationTracker &instance();

    // Registers a top-level window. modeless: the window is one of the program's
    // modeless windows (the main window, the serial e-mail window and its
    // companions): coming back from it runs the handler of the window returned to.
    void install(QWidget *window, std::function<void()> handler, bool modeless);
    void remove(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ActivationTracker();
    struct Entry
    {
        QPointer<QWidget> widget;
        std::function<void()> handler;
        bool modeless = false;
        ActivationState state;
    };
    void focusWindowChanged(QWindow *now);
    Entry *entryFor(QWindow *window);
    void run(QWidget *widget);

    QHash<QWidget *, Entry> m_entries;
    QPointer<QWindow> m_lastFocus; // the last window of ours that had the focus
    bool m_leftProgram = false;    // the focus went elsewhere since m_lastFocus had it
};

} // namespace vt
