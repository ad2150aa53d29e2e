#include "windowsinfo.h"
#include "paths.h"

#include <QDir>
#include <QStandardPaths>

namespace vt {

static QString withoutSlash(QString p)
{
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

TWindowsInfo::TWindowsInfo()
{
    DocumentsDir = withoutSlash(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    AppDataDir = withoutSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    TempDir = WithTrailingSlash(QDir::tempPath());
}

const TWindowsInfo &WindowsInfo()
{
    static const TWindowsInfo info;
    return info;
}

} // namespace vt
