#include "externaltools.h"
#include "paths.h"
#include "productinfo.h"
#include "registry.h"
#include "text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vt {

namespace {

const QString kUninstall = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
const QString kInstallLocation = QStringLiteral("InstallLocation");

QString canonical(const QString &path, const QString &base = {})
{
    const QFileInfo f(base.isEmpty() || QDir::isAbsolutePath(path) ? path : base + QLatin1Char('/') + path);
    return f.canonicalFilePath();
}

} // namespace

ExternalProgram LayoutApplication(const QString &brandCode)
{
    if (brandCode == kResellerBrandCode)
        return {kUninstall + QStringLiteral("Qentra Layoutwerk_is1"), QStringLiteral("QENTRA-LAYOUTWERK.EXE")};
    return {kUninstall + QStringLiteral("Layoutwerk_is1"), QStringLiteral("LAYOUTWERK.EXE")};
}

ExternalProgram RepairTool()
{
    return {kUninstall + QStringLiteral("Mendora_is1"), QStringLiteral("mendora.exe")};
}

bool ProgramKeyExists(const ExternalProgram &program)
{
    return Registry::keyExists(program.key);
}

QString InstalledProgramPath(const ExternalProgram &program)
{
    const QString location = Trimmed(Registry::readString(program.key, kInstallLocation));
    if (location.isEmpty())
        return {};
    return ResolveExisting(WithTrailingSlash(PathJoin(QString(), location)), program.fileName);
}

bool ProgramRunning(const QString &path)
{
    const QString target = canonical(path);
    if (target.isEmpty())
        return false;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (pid.isEmpty() || !pid.front().isDigit())
            continue;
        const QString proc = QStringLiteral("/proc/") + pid;
        if (QFileInfo(proc + QStringLiteral("/exe")).canonicalFilePath() == target)
            return true;
        // An interpreter's first arguments name the file it runs.
        QFile cmdline(proc + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> args = cmdline.read(64 * 1024).split('\0');
        const QString cwd = QFileInfo(proc + QStringLiteral("/cwd")).canonicalFilePath();
        for (qsizetype i = 0; i < std::min<qsizetype>(args.size(), 3); ++i) {
            if (!args.at(i).isEmpty() && canonical(QFile::decodeName(args.at(i)), cwd) == target)
                return true;
        }
    }
    return false;
}

} // namespace vt
