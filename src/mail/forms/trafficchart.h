#pragma once
// The traffic display of the serial e-mail window: a bar per tick of its timer,
// the newest on the right, with its title and series name.
#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

namespace vt {

class TrafficChart : public QWidget
{
    Q_OBJECT
public:
    explicit TrafficChart(QWidget *parent = nullptr);

    struct Point
    {
        int value = 0;
        QString label;
        QColor color;
    };
    void clear();
    void addPoint(int value, const QString &label, const QColor &color);
    const QList<Point> &points() const { return m_points; }

    void setTitle(const QString &title) { m_title = title; }
    QString title() const { return m_title; }

    // Only the newest points are kept: a run of hours must not grow the window.
    static constexpr int kKeptPoints = 240;

    QSize sizeHint() const override { return {260, 140}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<Point> m_points;
    QString m_title = QStringLiteral("Traffic (KB/sec)");
};

} // namespace vt
