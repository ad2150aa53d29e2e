#include "checkedini.h"
#include "inifile.h"
#include "messages.h"
#include "text.h"

namespace vt {

void CheckIniEntry(const IniFile &ini, const QString &section, const QString &key, const IniReport &report)
{
    if (!ini.fileExisted())
        return;
    const QString marker = QLatin1Char('[') + section + QLatin1Char(']');
    bool sectionFound = false, keyFound = false;
    for (const QString &line : ini.lines()) {
        if (!sectionFound && line.contains(marker))
            sectionFound = true;
        if (sectionFound) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? QString() : Trimmed(line.left(eq));
            if (name == key) {
                keyFound = true;
                break;
            }
        }
    }
    const IniReport &say = report ? report : IniReport([](const QString &text) { error(text); });
    if (!sectionFound)
        say(QStringLiteral("Block ") + section + QStringLiteral(" not found in ") + ini.fileName());
    if (!keyFound)
        say(QStringLiteral("Item ") + key + QStringLiteral(" not found in ") + ini.fileName());
}

QString CheckedReadString(const IniFile &ini, const QString &section, const QString &key, const QString &def,
                          const IniReport &report)
{
    CheckIniEntry(ini, section, key, report);
    return ini.readString(section, key, def);
}

int CheckedReadInteger(const IniFile &ini, const QString &section, const QString &key, int def, const IniReport &report)
{
    CheckIniEntry(ini, section, key, report);
    return ini.readInteger(section, key, def);
}

} // namespace vt
