#pragma once
// Waiting for a server. While the program waits for an answer it shows what it
// waits for, and the user can end the wait with "Abbrechen" instead of sitting
// in front of a program that takes no input. Without windows a wait only
// swallows user input (the event loop goes on, as with InputBlocker) and ends
// by its own limits; the widget library installs the window; tests put a
// recorder in front that ends waits as their script says.
#include <QString>

#include <functional>
#include <memory>

namespace vt {

class WaitWindows
{
public:
    // Lives exactly as long as the wait.
    class Wait
    {
    public:
        virtual ~Wait() = default;
    };

    virtual ~WaitWindows() = default;
    // Until the returned wait is destroyed, user input to the program's other
    // windows is swallowed. "Abbrechen" calls cancel, at most once; cancel must
    // not destroy the wait itself (its owner ends it once the work has stopped).
    virtual std::unique_ptr<Wait> open(const QString &text, std::function<void()> cancel) = 0;

    static WaitWindows &instance();
    // Replaces the service (tests); returns the previous one. nullptr restores the default.
    static WaitWindows *setInstance(WaitWindows *w);
    // The service used when no test replaced it (the widget library sets the window).
    static void setDefault(WaitWindows *w);
};

} // namespace vt
