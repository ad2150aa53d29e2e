#pragma once
// Keeps the event loop running while user input is swallowed: used where the
// program waits for something (a started program, a long bulk run) and must not
// be re-entered by a click or key press meanwhile. Timers, repaints and network
// events go on as usual.
#include <QObject>

namespace vt {

class InputBlocker : public QObject
{
public:
    // Installs itself on the application for its lifetime.
    InputBlocker();
    ~InputBlocker() override;

    // True for the events that come from the user (mouse, keys, wheel, touch,
    // shortcuts, closing a window through its frame).
    static bool isUserInput(const QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace vt
