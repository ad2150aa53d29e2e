#include "registry.h"
#include "inifile.h"
#include "paths.h"
#include "text.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace vt {

namespace {

QString g_fileName;

QString valueName(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("@") : name;
}

// Every call reads the file anew: another copy of the program (another
// workstation of the same user) may have written it meanwhile.
IniFile openForWriting()
{
    EnsureFolder(QFileInfo(Registry::fileName()).absolutePath());
    return IniFile(Registry::fileName());
}

} // namespace

QString Registry::fileName()
{
    if (!g_fileName.isEmpty())
        return g_fileName;
    return PathJoin(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                    QStringLiteral("Halvicor/registry.ini"));
}

void Registry::setFileName(const QString &path)
{
    g_fileName = path;
}

QString Registry::readString(const QString &key, const QString &name, const QString &def)
{
    return IniFile(fileName()).readString(key, valueName(name), def);
}

int Registry::readInteger(const QString &key, const QString &name, int def)
{
    return IniFile(fileName()).readInteger(key, valueName(name), def);
}

bool Registry::writeString(const QString &key, const QString &name, const QString &value)
{
    // Reading trims values and removes one pair of quotes; quoting such values
    // brings them back exactly as written.
    QString stored = value;
    if (stored != Trimmed(stored) || stored.startsWith(QLatin1Char('"')) || stored.startsWith(QLatin1Char('\'')))
        stored = QLatin1Char('"') + stored + QLatin1Char('"');
    return openForWriting().writeString(key, valueName(name), stored);
}

bool Registry::writeInteger(const QString &key, const QString &name, int value)
{
    return openForWriting().writeInteger(key, valueName(name), value);
}

bool Registry::valueExists(const QString &key, const QString &name)
{
    return IniFile(fileName()).valueExists(key, valueName(name));
}

bool Registry::keyExists(const QString &key)
{
    // A value written below a key makes every key above it, as in the registry.
    const QString below = key + QLatin1Char('\\');
    const QStringList sections = IniFile(fileName()).sections();
    return std::any_of(sections.begin(), sections.end(), [&](const QString &s) {
        return s.compare(key, Qt::CaseInsensitive) == 0 || s.startsWith(below, Qt::CaseInsensitive);
    });
}

bool Registry::deleteValue(const QString &key, const QString &name)
{
    return openForWriting().deleteKey(key, valueName(name));
}

} // namespace vt
