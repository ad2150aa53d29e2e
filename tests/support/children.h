#pragma once
// A control of a window by its object name (the name its designer file gives it);
// a test that asks for a control the window does not have ends at once, naming it.
#include <QObject>
#include <QString>

template <class T> T *child(const QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no %s named \"%s\"", qPrintable(window->objectName()), T::staticMetaObject.className(), name);
    return found;
}
