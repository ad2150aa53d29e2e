#pragma once
// INI files with the semantics of Windows profile files: sections and keys without
// regard to case, the first match wins, values trimmed and surrounding quotes
// removed on reading, every other line and their order kept on writing, booleans
// read as integers (non-zero is true) and written as "1"/"0". A missing value
// gives the default.
//
// Writes go to the file at once (each through QSaveFile), like the profile API,
// unless auto-saving is switched off; then save() writes them all in one go.
#include "textfile.h"

#include <QString>
#include <QStringList>

namespace vt {

class IniFile
{
public:
    explicit IniFile(const QString &path);

    QString fileName() const { return m_path; }
    // Whether the file existed and could be read when this object was made.
    bool fileExisted() const { return m_existed; }
    // The file's lines as read, with the changes made through this object.
    const QStringList &lines() const { return m_lines; }

    QString readString(const QString &section, const QString &key, const QString &def = {}) const;
    int readInteger(const QString &section, const QString &key, int def = 0) const;
    bool readBool(const QString &section, const QString &key, bool def = false) const;

    bool writeString(const QString &section, const QString &key, const QString &value);
    bool writeInteger(const QString &section, const QString &key, int value);
    bool writeBool(const QString &section, const QString &key, bool value);

    bool sectionExists(const QString &section) const;
    bool valueExists(const QString &section, const QString &key) const;
    QStringList sections() const;
    QStringList keys(const QString &section) const;
    bool eraseSection(const QString &section);
    bool deleteKey(const QString &section, const QString &key);

    // Files that hold passwords are written readable by their owner only.
    void setOwnerOnly(bool on) { m_ownerOnly = on; }
    void setAutoSave(bool on) { m_autoSave = on; }
    // Windows-1252 unless set otherwise (a file whose values need more characters).
    void setEncoding(TextEncoding encoding) { m_encoding = encoding; }
    bool save();
    QString lastError() const { return m_error; }

    // The integer rule of the profile API: an optional sign and decimal digits,
    // blanks around them allowed; anything else gives the default.
    static int parseInteger(const QString &text, int def, bool *ok = nullptr);

private:
    struct Found
    {
        qsizetype sectionLine = -1; // index of the "[section]" line
        qsizetype keyLine = -1;     // index of the "key=value" line
        qsizetype endLine = -1;     // first line after the section
    };
    Found find(const QString &section) const;
    bool changed();

    QString m_path;
    QStringList m_lines;
    bool m_existed = false;
    bool m_ownerOnly = false;
    bool m_autoSave = true;
    TextEncoding m_encoding = TextEncoding::Win1252;
    bool m_dirty = false;
    QString m_error;
};

} // namespace vt
