#include "waitwindows.h"
#include "inputblocker.h"
#include "service.h"

namespace vt {

namespace {

class BlockedWait final : public WaitWindows::Wait
{
    InputBlocker m_blocker;
};

// Without windows nobody can press "Abbrechen": the wait only keeps input away.
class BlockingWaits final : public WaitWindows
{
public:
    std::unique_ptr<Wait> open(const QString &, std::function<void()>) override
    {
        return std::make_unique<BlockedWait>();
    }
};

BlockingWaits g_blocking;
ServiceSlot<WaitWindows> g_slot(&g_blocking);

} // namespace

WaitWindows &WaitWindows::instance()
{
    return g_slot.get();
}

WaitWindows *WaitWindows::setInstance(WaitWindows *w)
{
    return g_slot.replace(w);
}

void WaitWindows::setDefault(WaitWindows *w)
{
    g_slot.setDefault(w ? w : &g_blocking);
}

} // namespace vt
