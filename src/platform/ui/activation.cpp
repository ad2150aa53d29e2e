#include "activation.h"
#include "crashreport.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace vt {

bool RunsActivationHandler(ActivationSource source)
{
    return source == ActivationSource::Shown || source == ActivationSource::ModelessWindow;
}

ActivationSource ActivationState::activated(bool previousIsSelf, bool previousModeless, bool focusLeftProgram)
{
    if (showPending) {
        showPending = false;
        return ActivationSource::Shown;
    }
    if (absorbNext) {
        absorbNext = false;
        return ActivationSource::SameWindow;
    }
    if (focusLeftProgram)
        return ActivationSource::OtherApplication;
    if (previousIsSelf)
        return ActivationSource::SameWindow;
    return previousModeless ? ActivationSource::ModelessWindow : ActivationSource::ModalWindow;
}

bool ActivationState::settleShow()
{
    const bool run = showPending;
    showPending = false;
    absorbNext = run;
    return run;
}

ActivationTracker &ActivationTracker::instance()
{
    static ActivationTracker *tracker = new ActivationTracker; // lives as long as the application
    return *tracker;
}

ActivationTracker::ActivationTracker()
{
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::focusWindowChanged, this, &ActivationTracker::focusWindowChanged);
}

void ActivationTracker::install(QWidget *window, std::function<void()> handler, bool modeless)
{
    Entry &e = m_entries[window];
    e.widget = window;
    e.handler = std::move(handler);
    e.modeless = modeless;
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this, window] { m_entries.remove(window); });
}

void ActivationTracker::remove(QWidget *window)
{
    if (m_entries.remove(window))
        window->removeEventFilter(this);
}

ActivationTracker::Entry *ActivationTracker::entryFor(QWindow *window)
{
    if (!window)
        return nullptr;
    for (Entry &e : m_entries)
        if (e.widget && e.widget->windowHandle() == window)
            return &e;
    return nullptr;
}

bool ActivationTracker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        auto it = m_entries.find(static_cast<QWidget *>(watched));
        if (it != m_entries.end()) {
            it->state.shown();
            // Some window systems never give a new window the focus: the show
            // still counts once the event loop has settled.
            QTimer::singleShot(0, this, [this, w = it->widget] {
                if (!w)
                    return;
                auto found = m_entries.find(w.data());
                if (found != m_entries.end() && found->state.settleShow())
                    run(w);
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void ActivationTracker::focusWindowChanged(QWindow *now)
{
    if (!now) {
        // A window of ours that is still on screen lost the focus to another
        // application; when the focus window was closed or hidden, the focus
        // only passes to the next window of ours.
        if (m_lastFocus && m_lastFocus->isVisible())
            m_leftProgram = true;
        return;
    }
    QWindow *previous = m_lastFocus;
    const bool left = m_leftProgram;
    m_lastFocus = now;
    m_leftProgram = false;

    Entry *e = entryFor(now);
    for (Entry &other : m_entries)
        if (&other != e)
            other.state.focusMovedElsewhere();
    if (!e)
        return;
    const Entry *prev = entryFor(previous);
    const ActivationSource source = e->state.activated(previous == now, prev && prev->modeless, left);
    if (RunsActivationHandler(source))
        run(e->widget);
}

void ActivationTracker::run(QWidget *widget)
{
    if (!widget)
        return;
    auto it = m_entries.find(widget);
    if (it == m_entries.end() || !it->handler)
        return;
    // The focus change is delivered outside any event, so the guard is ours to set.
    const std::function<void()> handler = it->handler;
    Guard("activation", handler);
}

} // namespace vt
