#pragma once
// The application's message hook, and the mouse wheel counted in notches.
//
// While the main window runs, its handler AppMessage sees every event of every
// widget before the widget does and turns the vertical mouse wheel into cursor
// keys. The commands whose dialogs should scroll as usual take the hook away
// while their dialog is shown, with a WheelHookSuspender, which puts it back
// when the dialog has closed.
#include <QObject>

#include <functional>

class QEvent;

namespace vt {

// Sums the wheel's steps to whole notches of 120 units: a fine-grained wheel or
// a touchpad sends many small steps per notch. A turn the other way starts
// counting afresh.
class WheelNotches
{
public:
    // The whole notches the steps complete: positive away from the user, negative towards.
    int add(int delta);
    void reset() { m_rest = 0; }

private:
    int m_rest = 0;
};

class TAppMessageHook : public QObject
{
public:
    // Returns true when it has dealt with the event and no widget should see it.
    using Handler = std::function<bool(QObject *receiver, QEvent *event)>;

    static TAppMessageHook &instance();
    // Sets the application's message hook (replacing the one set before).
    void install(Handler handler);
    // The application's message hook becomes none.
    void remove();
    bool isInstalled() const { return bool(m_handler); }
    Handler handler() const { return m_handler; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TAppMessageHook() = default;
    Handler m_handler;
    bool m_filtering = false;
};

// Takes the hook away for its lifetime and puts the one it found back at its
// end (nothing when none was set).
class WheelHookSuspender
{
public:
    WheelHookSuspender();
    ~WheelHookSuspender();
    WheelHookSuspender(const WheelHookSuspender &) = delete;
    WheelHookSuspender &operator=(const WheelHookSuspender &) = delete;

private:
    TAppMessageHook::Handler m_saved;
};

} // namespace vt
