#pragma once
// The vertical two-colour gradients behind the database dialogs and their panels.
#include <QColor>

class QWidget;

namespace vt {

// Paints the widget's own background (not its children's) from top to bottom.
void SetGradientBackground(QWidget *widget, const QColor &top, const QColor &bottom);

} // namespace vt
