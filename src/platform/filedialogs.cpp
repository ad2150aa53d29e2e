#include "filedialogs.h"
#include "service.h"

namespace vt {

namespace {

// Without windows nobody can choose: every dialog is cancelled.
class CancelledFileDialogs final : public FileDialogs
{
public:
    QString openFile(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString folder(QWidget *, const QString &, const QString &) override { return {}; }
};

CancelledFileDialogs g_cancelled;
ServiceSlot<FileDialogs> g_slot(&g_cancelled);

} // namespace

QStringList FileDialogs::openFiles(QWidget *parent, const QString &caption, const QString &folder,
                                   const QString &filter)
{
    const QString one = openFile(parent, caption, folder, filter);
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString FileDialogs::saveFileUnconfirmed(QWidget *parent, const QString &caption, const QString &pathProposed,
                                         const QString &filter)
{
    return saveFile(parent, caption, pathProposed, filter);
}

FileDialogs &FileDialogs::instance()
{
    return g_slot.get();
}

FileDialogs *FileDialogs::setInstance(FileDialogs *d)
{
    return g_slot.replace(d);
}

void FileDialogs::setDefault(FileDialogs *d)
{
    g_slot.setDefault(d ? d : &g_cancelled);
}

} // namespace vt
