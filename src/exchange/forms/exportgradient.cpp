#include "exportgradient.h"
#include "gradient.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace vt {

void ExportGradient::paint(QWidget *window) const
{
    QPainter p(window);
    QLinearGradient g(0, 0, 0, window->height());
    g.setColorAt(0, start);
    g.setColorAt(1, end);
    p.fillRect(window->rect(), g);
}

void ExportGradient::colourBoxes(QWidget *window, const QList<QAbstractButton *> &boxes) const
{
    const int height = qMax(window->height(), 2);
    for (QAbstractButton *b : boxes) {
        const int top = qBound(0, b->mapTo(window, QPoint(0, 0)).y(), height - 1);
        QPalette pal = b->palette();
        pal.setColor(QPalette::Window, GradientColorAt(start, end, top, height));
        b->setPalette(pal);
        b->setAutoFillBackground(true);
    }
}

} // namespace vt
