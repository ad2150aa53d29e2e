#include "clock.h"

namespace vt {

static QDateTime g_fixed;

QDate Clock::today()
{
    return now().date();
}

QDateTime Clock::now()
{
    return g_fixed.isValid() ? g_fixed : QDateTime::currentDateTime();
}

void Clock::setFixed(const QDateTime &at)
{
    g_fixed = at;
}

} // namespace vt
