#include "gradientbackground.h"

#include <QWidget>

namespace vt {

void SetGradientBackground(QWidget *widget, const QColor &top, const QColor &bottom)
{
    widget->setAttribute(Qt::WA_StyledBackground);
    // By its object name, so that the children keep their own look.
    widget->setStyleSheet(QStringLiteral("#%1 { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %2, "
                                         "stop:1 %3); }")
                              .arg(widget->objectName(), top.name(), bottom.name()));
}

} // namespace vt
