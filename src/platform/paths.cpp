#include "paths.h"

#include <QDir>
#include <QFileInfo>

namespace vt {

static QString normalised(QString p)
{
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (p.contains(QLatin1String("//")))
        p.replace(QLatin1String("//"), QLatin1String("/"));
    return p;
}

QString WithoutTrailingSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString WithTrailingSlash(const QString &folder)
{
    if (folder.isEmpty())
        return folder;
    QString f = normalised(folder);
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f;
}

QString PathJoin(const QString &folder, const QString &fragment)
{
    if (folder.isEmpty())
        return normalised(fragment);
    return normalised(folder + QLatin1Char('/') + fragment);
}

QString ResolveExisting(const QString &folder, const QString &name)
{
    const QString exact = PathJoin(folder, name);
    if (QFileInfo::exists(exact))
        return exact;
    // Only the last element is matched without regard to case.
    const qsizetype slash = exact.lastIndexOf(QLatin1Char('/'));
    const QString dirPath = slash >= 0 ? exact.left(slash + 1) : QString();
    const QString base = slash >= 0 ? exact.mid(slash + 1) : exact;
    QDir dir(dirPath.isEmpty() ? QStringLiteral(".") : dirPath);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &e : entries)
        if (e.compare(base, Qt::CaseInsensitive) == 0)
            return dirPath + e;
    return exact;
}

bool IsFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

bool EnsureFolder(const QString &folder)
{
    return !folder.isEmpty() && QDir().mkpath(folder);
}

} // namespace vt
