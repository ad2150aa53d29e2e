#include "mailfiles.h"
#include "msgconverter.h"
#include "paths.h"
#include "systools.h"
#include "workfolder.h"
#include "windowsinfo.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace vt {

QString DocumentsWorkFolder()
{
    return WithTrailingSlash(PathJoin(WindowsInfo().DocumentsDir, QStringLiteral("Vantrel")));
}

QString LayoutFolder()
{
    return WithTrailingSlash(PathJoin(WindowsInfo().DocumentsDir, QStringLiteral("Layoutwerk")));
}

QString MailDialogFolder()
{
    EnsureFolder(DocumentsWorkFolder());
    return QFileInfo(LayoutFolder()).isDir() ? LayoutFolder() : DocumentsWorkFolder();
}

QStringList SampleMailNames()
{
    QStringList names;
    for (int n = 1; n <= 5; ++n)
        names.append(QStringLiteral("Vantrel_Bsp%1.eml").arg(n));
    return names;
}

void EnsureSampleMails(const QString &appFolder)
{
    const QString target = DocumentsWorkFolder();
    if (QFileInfo(target).isDir())
        return;
    EnsureFolder(target);
    const QString source = WithTrailingSlash(ResolveExisting(WithTrailingSlash(appFolder), QStringLiteral("Vorlagen")));
    // QFile::copy never replaces a file.
    for (const QString &name : SampleMailNames())
        QFile::copy(ResolveExisting(source, name), target + name);
}

QString FreshWorkPath(const QString &prefix, const QString &extension)
{
    const QString folder = MailWorkFolder();
    if (folder.isEmpty())
        return {};
    QString path;
    do {
        path = folder + prefix + RandomString(10, kRandomAlphabet) + extension;
    } while (QFileInfo::exists(path));
    return path;
}

QString DialogFilter(const QString &pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        filters.append(parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

TakenMail ConvertIfMsg(const QString &chosen)
{
    TakenMail taken;
    if (!IsMsgFile(chosen)) {
        taken.ok = true;
        taken.path = chosen;
        return taken;
    }
    const MsgConversion c = MsgConverter::convert(chosen);
    taken.ok = c.ok;
    taken.path = c.emlPath;
    taken.error = c.error;
    return taken;
}

TakenMail CopyToWorkFile(const QString &source, const QString &extension)
{
    TakenMail taken;
    if (!QFileInfo(source).isFile()) {
        taken.error = QStringLiteral("Die Datei ") + source + QStringLiteral(" existiert nicht mehr!");
        return taken;
    }
    const QString target = FreshWorkPath(QString(), extension);
    if (target.isEmpty() || !QFile::copy(source, target)) {
        taken.error = QStringLiteral("Die Datei ") + source + QStringLiteral(" kann nicht kopiert werden!");
        return taken;
    }
    // The copy is a work file of this user alone, whatever the source allowed.
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    taken.ok = true;
    taken.path = target;
    return taken;
}

} // namespace vt
