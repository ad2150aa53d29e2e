#pragma once
// Open, save and folder dialogs. Tests replace the service and answer from a queue.
#include <QString>
#include <QStringList>

class QWidget;

namespace vt {

class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Each returns the chosen path, or an empty text when the user cancelled.
    virtual QString openFile(QWidget *parent, const QString &caption, const QString &folder, const QString &filter) = 0;
    virtual QString saveFile(QWidget *parent, const QString &caption, const QString &pathProposed,
                             const QString &filter) = 0;
    virtual QString folder(QWidget *parent, const QString &caption, const QString &folder) = 0;
    // Several files at once, in the order chosen; empty when the user cancelled.
    virtual QStringList openFiles(QWidget *parent, const QString &caption, const QString &folder,
                                  const QString &filter);
    // A save dialog that does not ask about an existing file: the caller asks,
    // once it knows the final name (with a suffix it adds).
    virtual QString saveFileUnconfirmed(QWidget *parent, const QString &caption, const QString &pathProposed,
                                        const QString &filter);

    static FileDialogs &instance();
    static FileDialogs *setInstance(FileDialogs *d);
    // The service used when no test replaced it: without windows every dialog is
    // cancelled; the widget library installs Qt's dialogs.
    static void setDefault(FileDialogs *d);
};

} // namespace vt
