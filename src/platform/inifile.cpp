#include "inifile.h"
#include "text.h"
#include "textfile.h"

#include <QFileInfo>

namespace vt {

namespace {

// The section name of a "[name]" line, or a null string for other lines.
QString sectionName(const QString &line)
{
    const QString t = Trimmed(line);
    if (!t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return Trimmed(close < 0 ? t.mid(1) : t.mid(1, close - 1));
}

bool isComment(const QString &line)
{
    const QString t = Trimmed(line);
    return t.startsWith(QLatin1Char(';'));
}

QString keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return Trimmed(eq < 0 ? line : line.left(eq));
}

QString valueOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    QString v = Trimmed(line.mid(eq + 1));
    if (v.size() >= 2) {
        const QChar q = v.front();
        if ((q == u'"' || q == u'\'') && v.back() == q)
            v = v.mid(1, v.size() - 2);
    }
    return v;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
{
    bool ok = false;
    if (QFileInfo(path).isFile())
        m_lines = ReadLines(path, &ok);
    m_existed = ok;
}

IniFile::Found IniFile::find(const QString &section) const
{
    Found f;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString name = sectionName(m_lines.at(i));
        if (name.isNull())
            continue;
        if (f.sectionLine >= 0) { // the section we found ends here
            f.endLine = i;
            return f;
        }
        if (sameName(name, section))
            f.sectionLine = i;
    }
    if (f.sectionLine >= 0)
        f.endLine = m_lines.size();
    return f;
}

static qsizetype findKey(const QStringList &lines, qsizetype from, qsizetype to, const QString &key)
{
    for (qsizetype i = from; i < to; ++i) {
        const QString &l = lines.at(i);
        if (isComment(l) || !l.contains(QLatin1Char('=')))
            continue;
        if (sameName(keyOf(l), key))
            return i;
    }
    return -1;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Found f = find(section);
    if (f.sectionLine < 0)
        return def;
    const qsizetype k = findKey(m_lines, f.sectionLine + 1, f.endLine, key);
    return k < 0 ? def : valueOf(m_lines.at(k));
}

int IniFile::parseInteger(const QString &text, int def, bool *ok)
{
    const QString t = Trimmed(text);
    bool good = false;
    int v = 0;
    if (!t.isEmpty()) {
        // Decimal, or hexadecimal written "$1F" or "0x1F" as the profile readers accept.
        if (t.startsWith(QLatin1Char('$')))
            v = t.mid(1).toInt(&good, 16);
        else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            v = t.mid(2).toInt(&good, 16);
        else
            v = t.toInt(&good, 10);
    }
    if (ok)
        *ok = good;
    return good ? v : def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    return parseInteger(readString(section, key), def);
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // A value never carries a line break into the file.
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString line = key + QLatin1Char('=') + v;
    Found f = find(section);
    if (f.sectionLine < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
        return changed();
    }
    const qsizetype k = findKey(m_lines, f.sectionLine + 1, f.endLine, key);
    if (k >= 0) {
        if (m_lines.at(k) == line)
            return true;
        m_lines[k] = line;
        return changed();
    }
    // New keys go after the last non-blank line of the section.
    qsizetype at = f.endLine;
    while (at > f.sectionLine + 1 && Trimmed(m_lines.at(at - 1)).isEmpty())
        --at;
    m_lines.insert(at, line);
    return changed();
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::sectionExists(const QString &section) const
{
    return find(section).sectionLine >= 0;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    const Found f = find(section);
    return f.sectionLine >= 0 && findKey(m_lines, f.sectionLine + 1, f.endLine, key) >= 0;
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const QString &l : m_lines) {
        const QString name = sectionName(l);
        if (!name.isNull())
            out.append(name);
    }
    return out;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList out;
    const Found f = find(section);
    if (f.sectionLine < 0)
        return out;
    for (qsizetype i = f.sectionLine + 1; i < f.endLine; ++i) {
        const QString &l = m_lines.at(i);
        if (!isComment(l) && l.contains(QLatin1Char('=')))
            out.append(keyOf(l));
    }
    return out;
}

bool IniFile::eraseSection(const QString &section)
{
    const Found f = find(section);
    if (f.sectionLine < 0)
        return true;
    m_lines.remove(f.sectionLine, f.endLine - f.sectionLine);
    return changed();
}

bool IniFile::deleteKey(const QString &section, const QString &key)
{
    const Found f = find(section);
    if (f.sectionLine < 0)
        return true;
    const qsizetype k = findKey(m_lines, f.sectionLine + 1, f.endLine, key);
    if (k < 0)
        return true;
    m_lines.removeAt(k);
    return changed();
}

bool IniFile::changed()
{
    m_dirty = true;
    return m_autoSave ? save() : true;
}

bool IniFile::save()
{
    if (!m_dirty)
        return true;
    WriteOptions opt;
    opt.ownerOnly = m_ownerOnly;
    opt.encoding = m_encoding;
    m_error.clear();
    if (!WriteLines(m_path, m_lines, opt, &m_error))
        return false;
    m_dirty = false;
    m_existed = true;
    return true;
}

} // namespace vt
