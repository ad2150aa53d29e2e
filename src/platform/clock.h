#pragma once
// Today's date and the time, replaceable so that tests can fix them.
//
// The local time comes from the system's clock and a zone taken at most once a
// minute (and anew with refreshZone()): asking the system for the zone on every
// call costs a look at the zone file each time, which a send run would pay several
// times per mail. The offset taken with the zone is kept until the zone's next
// transition, so a change of daylight saving time is followed to the millisecond.
#include <QByteArray>
#include <QDate>
#include <QDateTime>

namespace vt {

class Clock
{
public:
    static QDate today();
    // The local time, with the zone's offset from UTC.
    static QDateTime now();
    // Fixes the clock (tests); an invalid value lets it run again.
    static void setFixed(const QDateTime &at);
    // The system's local time as milliseconds since 1970-01-01 00:00 local time, for
    // time stamps (never fixed by setFixed()).
    static qint64 localMsecs();
    // "yyyy-MM-dd hh:mm:ss.zzz" of localMsecs(), appended to out.
    static void appendStamp(QByteArray &out, qint64 localMsecs);
    // Takes the system's zone anew with the next call (a run does at its start).
    static void refreshZone();
};

} // namespace vt
