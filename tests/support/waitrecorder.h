#pragma once
// Stands in for the window of a wait during a test: keeps the text of every wait
// the program opens and, when told, presses "Abbrechen" a while after a wait
// began. Installed for its lifetime.
#include "waitwindows.h"

#include <QStringList>

class WaitRecorder : public vt::WaitWindows
{
public:
    WaitRecorder();
    ~WaitRecorder() override;

    // Presses "Abbrechen" this long after each wait began; below 0: never.
    int cancelAfterMs = -1;
    // The texts of the waits so far, oldest first.
    QStringList texts;
    // How many waits are open now.
    int openWaits() const { return m_open; }

    std::unique_ptr<Wait> open(const QString &text, std::function<void()> cancel) override;

private:
    friend class RecordedWait;
    int m_open = 0;
    vt::WaitWindows *m_previous = nullptr;
};
