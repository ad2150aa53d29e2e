#pragma once
// The vertical two-colour gradient behind the export dialogs. A check box or
// radio button standing on it takes the gradient's colour at its top, so that
// the box blends into the background.
#include <QAbstractButton>
#include <QColor>
#include <QList>

class QWidget;

namespace vt {

struct ExportGradient
{
    QColor start{0xff, 0xff, 0xff};
    QColor end{0xc4, 0xd7, 0xef};

    void paint(QWidget *window) const;
    // Gives each box the colour behind it (on show and after every resize).
    void colourBoxes(QWidget *window, const QList<QAbstractButton *> &boxes) const;
};

} // namespace vt
