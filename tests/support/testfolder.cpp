#include "testfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

static void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        const QString dst = to + rel;
        QDir().mkpath(QFileInfo(dst).absolutePath());
        QFile::copy(src, dst);
        QFile(dst).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
}

TestFolder::TestFolder(bool withResources)
{
    if (withResources)
        copyTree(resourcesDir(), path());
}

QString TestFolder::path() const
{
    return m_dir.path() + QLatin1Char('/');
}

QString TestFolder::file(const QString &relative) const
{
    return path() + relative;
}

void TestFolder::write(const QString &relative, const QByteArray &bytes) const
{
    const QString p = file(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TestFolder::read(const QString &relative) const
{
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {

QString sourceDir()
{
    const QByteArray src = qgetenv("VANTREL_SOURCE_DIR");
    return QString::fromLocal8Bit(src.isEmpty() ? QByteArray(VANTREL_SOURCE_DIR_FALLBACK) : src);
}

} // namespace

QString TestFolder::resourcesDir()
{
    return sourceDir() + QStringLiteral("/resources/");
}

QString TestFolder::fixture(const QString &relative)
{
    return sourceDir() + QStringLiteral("/tests/fixtures/") + relative;
}
