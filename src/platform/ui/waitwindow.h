#pragma once
// The window of a wait for a server: what the program waits for, how long it has
// waited, and "Abbrechen". It comes up only when the wait lasts longer than a
// moment, so that a quick answer does not flash a window; until then user input
// is swallowed. While it is shown it is application-modal: the program's other
// windows take no input, and it stays movable and answers its own button,
// Escape and its close box, all three ending the wait.
#include "waitwindows.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

class QLabel;
class QPushButton;

namespace vt {

class WaitWindow : public QDialog
{
    Q_OBJECT
public:
    WaitWindow(const QString &text, std::function<void()> cancel, QWidget *parent = nullptr);

    // The button, Escape and the close box.
    void reject() override;

    // How long a wait lasts before its window comes up.
    static constexpr int kShowDelayMs = 400;

private:
    void showElapsed();

    std::function<void()> m_cancel;
    QLabel *m_elapsed;
    QPushButton *m_button;
    QElapsedTimer m_clock;
    QTimer m_ticker;
};

// The service that opens such windows (installed by InstallWidgetServices).
WaitWindows *WidgetWaitWindows();

} // namespace vt
