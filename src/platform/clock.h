#pragma once
// Today's date and the time, replaceable so that tests can fix them.
#include <QDate>
#include <QDateTime>

namespace vt {

class Clock
{
public:
    static QDate today();
    static QDateTime now();
    // Fixes the clock (tests); an invalid value lets it run again.
    static void setFixed(const QDateTime &at);
};

} // namespace vt
