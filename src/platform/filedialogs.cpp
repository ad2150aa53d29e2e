#include "filedialogs.h"

#include <QFileDialog>

namespace vt {

namespace {

class QtFileDialogs final : public FileDialogs
{
public:
    QString openFile(QWidget *parent, const QString &caption, const QString &folder,
                     const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, folder, filter);
    }
    QString saveFile(QWidget *parent, const QString &caption, const QString &pathProposed,
                     const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, pathProposed, filter);
    }
    QString folder(QWidget *parent, const QString &caption, const QString &folder) override
    {
        return QFileDialog::getExistingDirectory(parent, caption, folder);
    }
};

QtFileDialogs g_dialogs;
FileDialogs *g_current = nullptr;

} // namespace

FileDialogs &FileDialogs::instance()
{
    return g_current ? *g_current : static_cast<FileDialogs &>(g_dialogs);
}

FileDialogs *FileDialogs::setInstance(FileDialogs *d)
{
    FileDialogs *prev = g_current;
    g_current = d;
    return prev;
}

} // namespace vt
