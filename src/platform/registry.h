#pragma once
// The few registry values the program keeps (the main window's placement, for
// example), held in an INI file in the user's configuration folder. A key path
// such as "Software\Halvicor\WindowPos" is the section name as it is spelled;
// key paths and value names are matched without regard to case, as in the
// registry. The unnamed default value of a key is stored under the name "@".
#include <QString>

namespace vt {

class Registry
{
public:
    // ~/.config/Halvicor/registry.ini unless a test chose another file.
    static QString fileName();
    // Tests keep their values apart; an empty path restores the default.
    static void setFileName(const QString &path);

    static QString readString(const QString &key, const QString &name, const QString &def = {});
    static int readInteger(const QString &key, const QString &name, int def = 0);
    static bool writeString(const QString &key, const QString &name, const QString &value);
    static bool writeInteger(const QString &key, const QString &name, int value);
    static bool valueExists(const QString &key, const QString &name);
    // True when the key or any key below it holds a value.
    static bool keyExists(const QString &key);
    static bool deleteValue(const QString &key, const QString &name);
};

} // namespace vt
