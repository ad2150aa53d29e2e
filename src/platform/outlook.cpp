#include "outlook.h"

namespace vt {

namespace {

class AbsentOutlook : public OutlookBackend
{
public:
    void prepareLibrary() override {}
    bool connectOverOutlookSession() override { return false; }
    bool connectWithOwnLogon() override { return false; }
    QString outlookBitness() override { return {}; }
};

AbsentOutlook g_absent;
OutlookBackend *g_backend = &g_absent;

} // namespace

OutlookBackend &OutlookBackend::instance()
{
    return *g_backend;
}

OutlookBackend *OutlookBackend::setInstance(OutlookBackend *backend)
{
    OutlookBackend *previous = g_backend;
    g_backend = backend ? backend : &g_absent;
    return previous == &g_absent ? nullptr : previous;
}

} // namespace vt
