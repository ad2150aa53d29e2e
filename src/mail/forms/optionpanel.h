#pragma once
// A clickable option panel of the start wizard: a heading, a short description
// and a picture on a gradient. Its colours show whether it is normal, hovered or
// selected; a click anywhere on it (its texts and picture included) counts as a
// click on the panel.
#include <QColor>
#include <QFrame>

namespace vt {

class OptionPanel : public QFrame
{
    Q_OBJECT
public:
    enum class State { Normal, Hovered, Selected };
    struct Colors
    {
        QColor color, colorTo, mirrorColor, mirrorColorTo, border;
    };
    static Colors colorsFor(State state);

    explicit OptionPanel(QWidget *parent = nullptr);

    State state() const { return m_state; }
    // Takes the state and its colours, and repaints.
    void setState(State state);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    State m_state = State::Normal;
};

} // namespace vt
