#include "text.h"

namespace vt {

static bool isTrimmable(QChar c) { return c.unicode() <= 32; }

QString Trimmed(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isTrimmable(s.at(b)))
        ++b;
    while (e > b && isTrimmable(s.at(e - 1)))
        --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

QString TrimLeft(const QString &s)
{
    qsizetype b = 0;
    while (b < s.size() && isTrimmable(s.at(b)))
        ++b;
    return s.mid(b);
}

QString TrimRight(const QString &s)
{
    qsizetype e = s.size();
    while (e > 0 && isTrimmable(s.at(e - 1)))
        --e;
    return s.left(e);
}

QString AsciiUpper(const QString &s)
{
    QString r = s;
    for (QChar &c : r)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return r;
}

QString AsciiLower(const QString &s)
{
    QString r = s;
    for (QChar &c : r)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return r;
}

QString FoldCase(const QString &s)
{
    QString r = s;
    for (QChar &c : r)
        c = c.toLower();
    return r;
}

bool EqualsNoCase(const QString &a, const QString &b)
{
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

bool ContainsText(const QString &haystack, const QString &needle, Qt::CaseSensitivity cs)
{
    if (needle.isEmpty())
        return false;
    if (cs == Qt::CaseSensitive)
        return haystack.contains(needle);
    return FoldCase(haystack).contains(FoldCase(needle));
}

QString CrToNewline(const QString &s)
{
    QString r = s;
    r.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    r.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return r;
}

} // namespace vt
