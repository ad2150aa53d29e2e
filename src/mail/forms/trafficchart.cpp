#include "trafficchart.h"

#include <QPainter>

#include <algorithm>

namespace vt {

TrafficChart::TrafficChart(QWidget *parent) : QWidget(parent)
{
    setMinimumHeight(100);
}

void TrafficChart::clear()
{
    m_points.clear();
    update();
}

void TrafficChart::addPoint(int value, const QString &label, const QColor &color)
{
    m_points.append({value, label, color});
    if (m_points.size() > kKeptPoints)
        m_points.remove(0, m_points.size() - kKeptPoints);
    update();
}

void TrafficChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = p.fontMetrics();
    p.setPen(palette().text().color());
    p.drawText(QRect(0, 2, width(), fm.height()), Qt::AlignHCenter, m_title);
    const QRect plot = rect().adjusted(32, fm.height() + 6, -6, -6);
    p.drawRect(plot.adjusted(0, 0, -1, -1));
    int top = 1;
    for (const Point &pt : m_points)
        top = std::max(top, pt.value);
    p.drawText(QRect(0, plot.top(), 30, fm.height()), Qt::AlignRight, QString::number(top));
    p.drawText(QRect(0, plot.bottom() - fm.height(), 30, fm.height()), Qt::AlignRight, QStringLiteral("0"));
    // The newest points that fit, two pixels per bar at the least.
    const int shown = std::min<int>(int(m_points.size()), std::max(1, plot.width() / 2));
    if (shown == 0)
        return;
    const double barWidth = double(plot.width() - 2) / shown;
    for (int i = 0; i < shown; ++i) {
        const Point &pt = m_points.at(m_points.size() - shown + i);
        const int h = int(double(plot.height() - 2) * pt.value / top);
        const QRectF bar(plot.left() + 1 + i * barWidth, plot.bottom() - h, std::max(1.0, barWidth), h);
        p.fillRect(bar, pt.color);
    }
}

} // namespace vt
