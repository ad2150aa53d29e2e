#include "clock.h"

#include <QTimeZone>

namespace vt {

namespace {

QDateTime g_fixed;

// The system's zone as last taken, and its offset over a span without transitions.
struct ZoneCache
{
    bool taken = false;
    qint64 takenAtMs = 0;
    QTimeZone zone;
    qint64 validFromMs = 0, validUntilMs = -1; // the offset holds in [from, until)
    int offsetSeconds = 0;
};

ZoneCache &zoneCache()
{
    static ZoneCache cache;
    return cache;
}

constexpr qint64 kZoneRetakenAfterMs = 60 * 1000;

int localOffsetAt(qint64 ms)
{
    ZoneCache &c = zoneCache();
    if (!c.taken || ms - c.takenAtMs >= kZoneRetakenAfterMs || ms < c.takenAtMs) {
        c.zone = QTimeZone::systemTimeZone();
        c.taken = true;
        c.takenAtMs = ms;
        c.validUntilMs = -1;
    }
    if (ms < c.validFromMs || ms >= c.validUntilMs) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        c.offsetSeconds = c.zone.isValid() ? c.zone.offsetFromUtc(at) : at.toLocalTime().offsetFromUtc();
        c.validFromMs = ms;
        const QTimeZone::OffsetData next = c.zone.isValid() ? c.zone.nextTransition(at) : QTimeZone::OffsetData();
        // No known transition: the offset holds until the zone is taken anew.
        c.validUntilMs = next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch() : c.takenAtMs + kZoneRetakenAfterMs;
    }
    return c.offsetSeconds;
}

} // namespace

QDate Clock::today()
{
    return now().date();
}

QDateTime Clock::now()
{
    if (g_fixed.isValid())
        return g_fixed;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, localOffsetAt(ms));
}

void Clock::setFixed(const QDateTime &at)
{
    g_fixed = at;
}

qint64 Clock::localMsecs()
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    return ms + qint64(localOffsetAt(ms)) * 1000;
}

void Clock::appendStamp(QByteArray &out, qint64 localMsecs)
{
    constexpr qint64 msPerDay = 24 * 60 * 60 * 1000;
    qint64 days = localMsecs / msPerDay, ms = localMsecs % msPerDay;
    if (ms < 0) {
        ms += msPerDay;
        --days;
    }
    int y = 0, m = 0, d = 0;
    QDate::fromJulianDay(days + 2440588).getDate(&y, &m, &d);
    const int fields[] = {y, m, d, int(ms / 3600000), int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000)};
    const int widths[] = {4, 2, 2, 2, 2, 2, 3};
    const char after[] = {'-', '-', ' ', ':', ':', '.', 0};
    char text[32];
    char *o = text;
    for (int i = 0; i < 7; ++i) {
        for (int w = widths[i], v = fields[i]; w > 0; --w) {
            o[w - 1] = char('0' + v % 10);
            v /= 10;
        }
        o += widths[i];
        if (after[i])
            *o++ = after[i];
    }
    out.append(text, o - text);
}

void Clock::refreshZone()
{
    zoneCache().taken = false;
}

} // namespace vt
