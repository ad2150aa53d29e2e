#include "exportdialog.h"
#include "gradient.h"

#include <QLinearGradient>
#include <QPainter>

namespace vt {

ExportDialog::ExportDialog(QWidget *parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
}

void ExportDialog::MakeColors()
{
    const int h = qMax(height(), 2);
    for (QAbstractButton *b : gradientBoxes()) {
        const int top = qBound(0, b->mapTo(this, QPoint(0, 0)).y(), h - 1);
        QPalette pal = b->palette();
        pal.setColor(QPalette::Window, GradientColorAt(GradientStart, GradientEnd, top, h));
        b->setPalette(pal);
        // A button fills its background with the button colour unless told otherwise.
        b->setBackgroundRole(QPalette::Window);
        b->setAutoFillBackground(true);
    }
}

void ExportDialog::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, GradientStart);
    g.setColorAt(1, GradientEnd);
    p.fillRect(rect(), g);
}

void ExportDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    MakeColors();
}

void ExportDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    MakeColors();
}

} // namespace vt
