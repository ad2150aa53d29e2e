#include "windowsinfo.h"
#include "paths.h"

#include <QDir>
#include <QStandardPaths>

namespace vt {

TWindowsInfo::TWindowsInfo()
{
    DocumentsDir = WithoutTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    AppDataDir = WithoutTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    TempDir = WithTrailingSlash(QDir::tempPath());
}

const TWindowsInfo &WindowsInfo()
{
    static const TWindowsInfo info;
    return info;
}

} // namespace vt
