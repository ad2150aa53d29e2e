#pragma once
#include <QColor>

namespace vt {

// The colour of a vertical two-colour gradient of the given height at a row.
QColor GradientColorAt(const QColor &start, const QColor &end, int position, int height);

} // namespace vt
