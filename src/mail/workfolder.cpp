#include "workfolder.h"

#include <QDir>
#include <QTemporaryDir>

namespace vt {

QString MailWorkFolder()
{
    // QTemporaryDir makes the folder readable by its owner only.
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/vantrel-XXXXXX"));
    return folder.isValid() ? folder.path() + QLatin1Char('/') : QString();
}

} // namespace vt
