#include "optionpanel.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace vt {

OptionPanel::Colors OptionPanel::colorsFor(State state)
{
    switch (state) {
    case State::Hovered:
        return {QColor(0xD0E4FA), QColor(0xC0DAFA), QColor(0xC0DAFA), QColor(0xB0D1F9), QColor(0x6894C8)};
    case State::Selected:
        return {QColor(0xFDE591), QColor(0xFDF7D2), QColor(0xFDE591), QColor(0xFDF5CC), QColor(0xF1DC58)};
    case State::Normal: break;
    }
    return {QColor(0xECF4FC), QColor(0xC7DAF0), QColor(0xC7DAF0), QColor(0xC7DAF0), QColor(0x9FB2C7)};
}

OptionPanel::OptionPanel(QWidget *parent) : QFrame(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void OptionPanel::setState(State state)
{
    m_state = state;
    update();
}

void OptionPanel::paintEvent(QPaintEvent *)
{
    const Colors c = colorsFor(m_state);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // The upper half is the gradient, the lower half its mirror.
    const qreal half = r.height() / 2;
    QLinearGradient upper(r.topLeft(), QPointF(r.left(), r.top() + half));
    upper.setColorAt(0, c.color);
    upper.setColorAt(1, c.colorTo);
    QLinearGradient lower(QPointF(r.left(), r.top() + half), r.bottomLeft());
    lower.setColorAt(0, c.mirrorColor);
    lower.setColorAt(1, c.mirrorColorTo);
    QPainterPath path;
    path.addRoundedRect(r, 5, 5);
    p.save();
    p.setClipPath(path);
    p.fillRect(QRectF(r.left(), r.top(), r.width(), half), upper);
    p.fillRect(QRectF(r.left(), r.top() + half, r.width(), r.height() - half), lower);
    p.restore();
    p.setPen(QPen(c.border, 1));
    p.drawPath(path);
}

void OptionPanel::mousePressEvent(QMouseEvent *event)
{
    // Taken here, also from the texts and the picture on the panel, so the release comes back.
    event->accept();
}

void OptionPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

void OptionPanel::enterEvent(QEnterEvent *event)
{
    // A selected panel keeps its colours while the mouse is over it.
    if (m_state == State::Normal)
        setState(State::Hovered);
    QFrame::enterEvent(event);
}

void OptionPanel::leaveEvent(QEvent *event)
{
    if (m_state != State::Selected)
        setState(State::Normal);
    QFrame::leaveEvent(event);
}

} // namespace vt
