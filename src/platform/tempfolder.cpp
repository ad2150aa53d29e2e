#include "tempfolder.h"
#include "paths.h"
#include "systools.h"
#include "windowsinfo.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace vt {

QString ProcessTempFolder()
{
    // QTemporaryDir makes the folder with mode 0700 and removes it at the end.
    static QTemporaryDir folder(WindowsInfo().TempDir + QStringLiteral("vantrel-XXXXXX"));
    return folder.isValid() ? WithTrailingSlash(folder.path()) : WindowsInfo().TempDir;
}

QString FreshTempPath(const QString &prefix, const QString &extension)
{
    const QString folder = ProcessTempFolder();
    QString path;
    do {
        path = folder + prefix + RandomString(10, kRandomAlphabet) + extension;
    } while (QFileInfo::exists(path));
    return path;
}

} // namespace vt
