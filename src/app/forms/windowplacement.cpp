#include "windowplacement.h"
#include "registry.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vt {

namespace {

const QString kWindowPosKey = QStringLiteral("Software\\Halvicor\\WindowPos");

QScreen *screenOf(const QRect &rect)
{
    if (QScreen *s = QGuiApplication::screenAt(rect.center()))
        return s;
    return QGuiApplication::primaryScreen();
}

} // namespace

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
    if (found) {
        const QString sub = key + QLatin1Char('\\') + ScreenResolutionName();
        const QRect now = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
        // Top falls back to 0, not to the present top: a window stored only for
        // another resolution keeps its other edges and moves to the top.
        const int top = Registry::readInteger(sub, QStringLiteral("Top"), 0);
        const int left = Registry::readInteger(sub, QStringLiteral("Left"), now.left());
        const int right = Registry::readInteger(sub, QStringLiteral("Right"), now.left() + now.width());
        const int bottom = Registry::readInteger(sub, QStringLiteral("Bottom"), now.top() + now.height());
        window->setGeometry(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
        const int state = Registry::readInteger(sub, QStringLiteral("FormState"), before & Qt::WindowMaximized ? 2 : 0);
        if (state == 2)
            window->setWindowState((before & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        else if (state == 0)
            window->setWindowState(before & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    }
    const QRect normal = window->geometry();
    if (const QScreen *s = screenOf(normal)) {
        // Never smaller than the window allows: a shrunk window stays at its minimum.
        QRect fitted = FitToScreen(normal, s->availableGeometry());
        fitted.setSize(fitted.size().expandedTo(window->minimumSize()));
        if (fitted != normal)
            window->setGeometry(fitted);
    }
    return found;
}

void SaveWindowPlacement(QWidget *window)
{
    if (!window || !window->isWindow() || window->parentWidget())
        return;
    const QString sub = WindowPlacementKey(window) + QLatin1Char('\\') + ScreenResolutionName();
    const Qt::WindowStates s = window->windowState();
    const int state = s & Qt::WindowMinimized ? 1 : s & Qt::WindowMaximized ? 2 : 0;
    const QRect r = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
    Registry::writeInteger(sub, QStringLiteral("FormState"), state);
    Registry::writeInteger(sub, QStringLiteral("Top"), r.top());
    Registry::writeInteger(sub, QStringLiteral("Left"), r.left());
    Registry::writeInteger(sub, QStringLiteral("Right"), r.left() + r.width());
    Registry::writeInteger(sub, QStringLiteral("Bottom"), r.top() + r.height());
}

} // namespace vt
