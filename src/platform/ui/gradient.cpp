#include "gradient.h"

namespace vt {

QColor GradientColorAt(const QColor &start, const QColor &end, int position, int height)
{
    if (height < 2)
        return start;
    const double t = double(position) / double(height - 1);
    auto channel = [t](int a, int b) { return int(a + (b - a) * t); }; // truncated toward zero
    return QColor(channel(start.red(), end.red()), channel(start.green(), end.green()),
                  channel(start.blue(), end.blue()));
}

} // namespace vt
