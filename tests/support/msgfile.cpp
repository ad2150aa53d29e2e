#include "msgfile.h"
#include "testfolder.h"

#include <QDebug>
#include <QFileInfo>
#include <QProcess>

bool MakeMsgFile(const QString &path, const QString &subject, const QString &text, const QString &html)
{
    QProcess perl;
    perl.start(QStringLiteral("perl"),
               {TestFolder::resourcesDir() + QStringLiteral("../tests/support/makemsg.pl"), path, subject, text, html});
    if (!perl.waitForFinished(30000) || perl.exitCode() != 0) {
        qWarning().noquote() << "cannot write a .msg file (install perl and libole-storage-lite-perl):"
                             << perl.readAllStandardError();
        return false;
    }
    return QFileInfo(path).size() > 0;
}
