#include "linklabel.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

namespace vt {

namespace {

class ClickFilter : public QObject
{
public:
    ClickFilter(QLabel *label, std::function<void()> onClick) : QObject(label), m_onClick(std::move(onClick)) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
            static_cast<QWidget *>(watched)->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
            m_onClick();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_onClick;
};

} // namespace

void MakeLink(QLabel *label, std::function<void()> onClick, bool underline)
{
    label->setCursor(Qt::PointingHandCursor);
    if (underline) {
        QFont f = label->font();
        f.setUnderline(true);
        label->setFont(f);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, p.color(QPalette::Link));
        label->setPalette(p);
    }
    label->installEventFilter(new ClickFilter(label, std::move(onClick)));
}

} // namespace vt
