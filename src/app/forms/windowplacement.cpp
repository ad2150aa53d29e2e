#include "windowplacement.h"
#include "registry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>

#include <optional>

namespace vt {

namespace {

const QString kWindowPosKey = QStringLiteral("Software\\Halvicor\\WindowPos");
const QString kFitterName = QStringLiteral("vt_frameFitter");

QScreen *screenOf(const QRect &rect)
{
    if (QScreen *s = QGuiApplication::screenAt(rect.center()))
        return s;
    return QGuiApplication::primaryScreen();
}

// The window manager's frame around the window; none before it is framed.
QMargins frameMarginsOf(const QWidget *window)
{
    const QRect f = window->frameGeometry(), g = window->geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

// The outer rectangle of the window's normal (restored) placement.
QRect normalFrameOf(const QWidget *window)
{
    const QRect client = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
    return client.marginsAdded(frameMarginsOf(window));
}

void applyFrame(QWidget *window, const QRect &frame)
{
    FitMinimumToScreen(window, screenOf(frame));
    const QMargins m = frameMarginsOf(window);
    window->resize(QSize(frame.width() - m.left() - m.right(), frame.height() - m.top() - m.bottom())
                       .expandedTo(window->minimumSize()));
    // For a top-level window move() places the frame, also before it has one.
    window->move(frame.topLeft());
}

// Waits until the window manager has framed the window, then makes the window
// so much smaller that its frame covers the rectangle asked for.
class FrameFitter final : public QObject
{
public:
    FrameFitter(QWidget *window, const QRect &frame) : QObject(window), m_window(window), m_frame(frame)
    {
        setObjectName(kFitterName);
        window->installEventFilter(this);
    }
    ~FrameFitter() override { m_window->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                    event->type() == QEvent::WindowActivate))
            QMetaObject::invokeMethod(
                this, [this] { fit(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void fit()
    {
        if (m_done || !m_window->isVisible() || frameMarginsOf(m_window).isNull())
            return;
        m_done = true;
        m_window->removeEventFilter(this);
        if (!(m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
            const QScreen *s = screenOf(m_frame);
            applyFrame(m_window, s ? FitToScreen(m_frame, s->availableGeometry()) : m_frame);
        }
        deleteLater();
    }

    QWidget *m_window;
    QRect m_frame;
    bool m_done = false;
};

} // namespace

void FitMinimumToScreen(QWidget *window, QScreen *screen)
{
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    const QSize room = screen->availableGeometry().size().shrunkBy(frameMarginsOf(window));
    const QSize minimum = window->minimumSize();
    if (minimum.width() > room.width() || minimum.height() > room.height())
        window->setMinimumSize(minimum.boundedTo(room));
}

void PlaceWindowFrame(QWidget *window, const QRect &frame)
{
    if (!window || !window->isWindow())
        return;
    // A placement waiting for the frame gives way to this one.
    for (QObject *f : window->findChildren<QObject *>(kFitterName, Qt::FindDirectChildrenOnly))
        delete f;
    applyFrame(window, frame);
    if (frameMarginsOf(window).isNull())
        new FrameFitter(window, frame);
}

QString WindowPlacementKey(const QWidget *window)
{
    QString program = QCoreApplication::applicationName();
    if (program.isEmpty())
        program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return kWindowPosKey + QLatin1Char('\\') + program + QLatin1Char('\\') + window->objectName();
}

QString ScreenResolutionName()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    const QSize size = s ? s->size() : QSize();
    return QStringLiteral("%1X%2").arg(size.width()).arg(size.height());
}

QRect FitToScreen(const QRect &rect, const QRect &area)
{
    QRect r = rect;
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    if (r.width() > area.width())
        r.setWidth(area.width());
    if (r.height() > area.height())
        r.setHeight(area.height());
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    return r;
}

bool RestoreWindowPlacement(QWidget *window)
{
    if (!window || !window->isWindow() || window->parentWidget())
        return false;
    const Qt::WindowStates before = window->windowState();
    const QString key = WindowPlacementKey(window);
    const bool found = Registry::keyExists(key);
    QRect placed = normalFrameOf(window);
    std::optional<Qt::WindowStates> state;
    if (found) {
        const QString sub = key + QLatin1Char('\\') + ScreenResolutionName();
        const QRect now = placed;
        // Top falls back to 0, not to the present top: a window stored only for
        // another resolution keeps its other edges and moves to the top.
        const int top = Registry::readInteger(sub, QStringLiteral("Top"), 0);
        const int left = Registry::readInteger(sub, QStringLiteral("Left"), now.left());
        const int right = Registry::readInteger(sub, QStringLiteral("Right"), now.left() + now.width());
        const int bottom = Registry::readInteger(sub, QStringLiteral("Bottom"), now.top() + now.height());
        placed = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
        const int stored =
            Registry::readInteger(sub, QStringLiteral("FormState"), before & Qt::WindowMaximized ? 2 : 0);
        if (stored == 2)
            state = (before & ~Qt::WindowMinimized) | Qt::WindowMaximized;
        else if (stored == 0)
            state = before & ~(Qt::WindowMaximized | Qt::WindowMinimized);
    }
    if (const QScreen *s = screenOf(placed))
        placed = FitToScreen(placed, s->availableGeometry());
    // The normal placement first: a maximised window keeps it for its restore button.
    if (placed != normalFrameOf(window))
        PlaceWindowFrame(window, placed);
    if (state)
        window->setWindowState(*state);
    return found;
}

void SaveWindowPlacement(QWidget *window)
{
    if (!window || !window->isWindow() || window->parentWidget())
        return;
    const QString sub = WindowPlacementKey(window) + QLatin1Char('\\') + ScreenResolutionName();
    const Qt::WindowStates s = window->windowState();
    const int state = s & Qt::WindowMinimized ? 1 : s & Qt::WindowMaximized ? 2 : 0;
    const QRect r = normalFrameOf(window);
    Registry::writeInteger(sub, QStringLiteral("FormState"), state);
    Registry::writeInteger(sub, QStringLiteral("Top"), r.top());
    Registry::writeInteger(sub, QStringLiteral("Left"), r.left());
    Registry::writeInteger(sub, QStringLiteral("Right"), r.left() + r.width());
    Registry::writeInteger(sub, QStringLiteral("Bottom"), r.top() + r.height());
}

} // namespace vt
