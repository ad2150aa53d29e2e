#include "inputblocker.h"

#include <QCoreApplication>
#include <QEvent>

namespace vt {

InputBlocker::InputBlocker()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

InputBlocker::~InputBlocker()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool InputBlocker::isUserInput(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu: return true;
    case QEvent::Close:
        // Only a close that the window system asks for; the program's own
        // close() calls go through.
        return event->spontaneous();
    default: return false;
    }
}

bool InputBlocker::eventFilter(QObject *watched, QEvent *event)
{
    if (isUserInput(event)) {
        event->ignore(); // a refused close keeps the window open
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vt
