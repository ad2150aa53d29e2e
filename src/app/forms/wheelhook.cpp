#include "wheelhook.h"

#include <QCoreApplication>

namespace vt {

int WheelNotches::add(int delta)
{
    if (delta == 0)
        return 0;
    if ((m_rest > 0 && delta < 0) || (m_rest < 0 && delta > 0))
        m_rest = 0;
    m_rest += delta;
    const int notches = m_rest / 120;
    m_rest -= notches * 120;
    return notches;
}

TAppMessageHook &TAppMessageHook::instance()
{
    static TAppMessageHook *hook = new TAppMessageHook; // lives as long as the application
    return *hook;
}

void TAppMessageHook::install(Handler handler)
{
    m_handler = std::move(handler);
    if (m_handler && !m_filtering && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
        m_filtering = true;
    }
}

void TAppMessageHook::remove()
{
    m_handler = nullptr;
    if (m_filtering && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    m_filtering = false;
}

bool TAppMessageHook::eventFilter(QObject *watched, QEvent *event)
{
    if (m_handler) {
        // A copy: the handler may take the hook away while it runs.
        const Handler h = m_handler;
        if (h(watched, event))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

WheelHookSuspender::WheelHookSuspender() : m_saved(TAppMessageHook::instance().handler())
{
    TAppMessageHook::instance().remove();
}

WheelHookSuspender::~WheelHookSuspender()
{
    if (m_saved)
        TAppMessageHook::instance().install(m_saved);
}

} // namespace vt
